// mkinstaller with language tables: init writes one per tag, check passes on
// them, warns per language about texts it lacks and texts nothing shows, and
// refuses a malformed table with the installer's own message.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_command_host.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ShellQuote;

testsupport::CommandResult Tool(const std::string& args) {
  return testsupport::RunCommand(ShellQuote(testsupport::BinDir() + "/mkinstaller") + " " + args);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(MkinstallerLanguages, InitCheckWarningsAndMalformedTable) {
  testsupport::ScratchDir scratch;
  const std::string project = scratch.file("game"), cfg = project + "/cfg";
  EXPECT_EQ(Tool("init " + ShellQuote(scratch.file("bad")) + " --languages de,x_y").status, 2);
  EXPECT_FALSE(fs::exists(scratch.file("bad")));
  ASSERT_EQ(Tool("init " + ShellQuote(project) + " --languages de,ja-JP").status, 0);
  const std::string german = testsupport::ReadText(cfg + "/props.de.xml");
  EXPECT_EQ(german.rfind("\xEF\xBB\xBF<?xml", 0), 0u);
  EXPECT_NE(german.find("<String id=\"BUTTON_NEXT\">Next &gt;</String>"), std::string::npos);
  EXPECT_NE(german.find("<String id=\"UNINSTALL_DONE_TEXT\">%InstallName% was removed.</String>"), std::string::npos);
  EXPECT_TRUE(fs::exists(cfg + "/props.ja-JP.xml"));
  EXPECT_EQ(testsupport::ReadText(cfg + "/props.xml").find("UNINSTALL_DONE_TEXT"), std::string::npos);

  testsupport::CommandResult check = Tool("check " + ShellQuote(cfg));
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.err, "");

  testsupport::WriteWholeFile(
      cfg + "/props.de.xml",
      Replace(Replace(german, "<String id=\"BUTTON_NEXT\">Next &gt;</String>", "<String id=\"OLD_TEXT\">x</String>"),
              "<String id=\"UNINSTALL_TITLE\">", "<String id=\"UNINSTALL_TITEL\">"));
  check = Tool("check " + ShellQuote(cfg));
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.err,
            "warning: language 'de' (props.de.xml) lacks texts, shown from props.xml instead: BUTTON_NEXT, "
            "UNINSTALL_TITLE\n"
            "warning: language 'de' (props.de.xml) has texts that no page uses: OLD_TEXT, UNINSTALL_TITEL\n");

  // Translated text without the byte-order mark would show as 8-bit characters.
  testsupport::WriteWholeFile(cfg + "/props.de.xml", Replace(german.substr(3), "Next &gt;", "N\xC3\xA4" "chste"));
  check = Tool("check " + ShellQuote(cfg));
  EXPECT_EQ(check.err,
            "warning: props.de.xml has no byte-order mark: the installer reads its texts as 8-bit characters, not "
            "UTF-8 (save it as UTF-8 with BOM)\n");

  testsupport::WriteWholeFile(cfg + "/props.ja-JP.xml", "<Properties>\n<Boolean id=\"B\">maybe</Boolean>\n");
  for (const char* command : {"check ", "build --stub /dev/null -o /dev/null --cfg "}) {
    check = Tool(command + ShellQuote(cfg) + (std::string(command) == "check " ? "" : " --files " + ShellQuote(project + "/files")));
    EXPECT_EQ(check.status, 1) << command;
    EXPECT_EQ(check.err.rfind("Properties file error: 'Invalid Boolean Value: 'MAYBE' on Line 2 in File '" + cfg +
                                  "/props.ja-JP.xml''\n",
                              0),
              0u)
        << check.err;
  }
}

}  // namespace
