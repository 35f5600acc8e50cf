// mkinstaller as a new publisher uses it: init, check, build with defines on
// the command line, list --json and extract; the warnings of check, each on a
// configuration made to trigger it and none on the sample game; where build
// finds the stub when --stub is not given.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "support/run_command_host.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ShellQuote;

using Result = testsupport::CommandResult;

Result Tool(const std::string& args, const std::string& env = "", const std::string& tool = "") {
  return testsupport::RunCommand(env + " " + ShellQuote(tool.empty() ? testsupport::BinDir() + "/mkinstaller" : tool) +
                                 " " + args);
}

// Every regular file below root, by relative path, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = testsupport::ReadText(e.path().string());
  return files;
}

class MkinstallerProject : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_.path();
    stub_ = root_ + "/stub.exe";
    uninstaller_ = root_ + "/uninstaller.exe";
    testsupport::WriteWholeFile(stub_, std::string(3000, 'S'));
    testsupport::WriteWholeFile(uninstaller_, std::string(2000, 'U'));
  }
  std::string Init(const std::string& name) {
    Result r = Tool("init " + ShellQuote(root_ + "/" + name) + " --name 'Star Courier' --publisher 'Zelkon Games'");
    EXPECT_EQ(r.status, 0) << r.err;
    return root_ + "/" + name;
  }
  testsupport::ScratchDir scratch_;
  std::string root_, stub_, uninstaller_;
};

TEST_F(MkinstallerProject, InitCheckBuildListAndExtractRoundTrip) {
  const std::string project = Init("game");
  const std::string cfg = project + "/cfg", files = project + "/files";
  EXPECT_EQ(Tool("init " + ShellQuote(project)).status, 1);  // never overwrites

  Result check = Tool("check " + ShellQuote(cfg) + " --files " + ShellQuote(files) + " --uninstaller " + ShellQuote(uninstaller_));
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.err, "");
  EXPECT_EQ(check.out,
            "ok: 9 entries, " + std::to_string(fs::file_size(uninstaller_) + 63 * 2 + 21654 + 32694 +
                                               fs::file_size(cfg + "/props.xml") + fs::file_size(cfg + "/defines.xml") +
                                               fs::file_size(cfg + "/install.xml") + fs::file_size(cfg + "/license.txt")) +
                " bytes; installs to C:\\Program Files\\Zelkon Games\\Star Courier; registers 1 registry value, an "
                "Add/Remove Programs entry and 1 shortcut; logs to C:\\Program Files\\Zelkon Games\\Star "
                "Courier\\Uninstall\\install.log\n");

  // Defines texts in command-line order: a run of --define is one text.
  testsupport::WriteWholeFile(root_ + "/middle.xml", "<Defines><Define><Name>B</Name><Value>2</Value></Define></Defines>");
  const std::string setup = root_ + "/Setup.exe";
  Result build = Tool("build --stub " + ShellQuote(stub_) + " --cfg " + ShellQuote(cfg) + " --files " + ShellQuote(files) +
                     " --uninstaller " + ShellQuote(uninstaller_) + " --define 'A=x <&> y' --define Version=2.0" +
                     " --defines-text " + ShellQuote(root_ + "/middle.xml") + " --define C=3 -o " + ShellQuote(setup));
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(build.err, "");

  Result json = Tool("list --json " + ShellQuote(setup));
  ASSERT_EQ(json.status, 0) << json.err;
  size_t a = json.out.find("<Name>A</Name><Value>x &lt;&amp;&gt; y</Value></Define>\\u000a  <Define><Name>Version"),
         b = json.out.find("<Name>B</Name><Value>2</Value>"), c = json.out.find("<Name>C</Name><Value>3</Value>");
  EXPECT_TRUE(a != std::string::npos && a < b && b < c && c != std::string::npos) << json.out;
  EXPECT_NE(json.out.find("{\"type\": \"skipped\", \"offset\": 0, \"length\": 3000}"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("{\"name\": \"files\\\\Uninstall\\\\Uninstall.exe\", \"size\": 2000, "), std::string::npos)
      << json.out;

  // Extract gives back the inputs byte for byte; building again from its
  // output gives the same installer.
  const std::string out = root_ + "/out";
  Result extract = Tool("extract " + ShellQuote(setup) + " " + ShellQuote(out));
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(Tree(out + "/cfg"), Tree(cfg));
  auto expected_files = Tree(files);
  expected_files["Uninstall/Uninstall.exe"] = std::string(2000, 'U');
  EXPECT_EQ(Tree(out + "/files"), expected_files);
  EXPECT_EQ(testsupport::ReadText(out + "/defines-text-2.xml"), testsupport::ReadText(root_ + "/middle.xml"));
  const std::string again = root_ + "/Again.exe";
  ASSERT_EQ(Tool("build --stub " + ShellQuote(stub_) + " --cfg " + ShellQuote(out + "/cfg") + " --files " + ShellQuote(out + "/files") +
                " --defines-text " + ShellQuote(out + "/defines-text-1.xml") + " --defines-text " +
                ShellQuote(out + "/defines-text-2.xml") + " --defines-text " + ShellQuote(out + "/defines-text-3.xml") + " -o " +
                ShellQuote(again))
                .status,
            0);
  EXPECT_EQ(testsupport::ReadText(again), testsupport::ReadText(setup));
  EXPECT_EQ(Tool("extract " + ShellQuote(setup) + " " + ShellQuote(out)).status, 1);  // not empty
}

TEST_F(MkinstallerProject, EachWarningOnItsConfigurationAndNoneOnTheSampleGame) {
  const std::string project = Init("game");
  const std::string cfg = project + "/cfg", files = project + "/files";
  const std::string install_xml = testsupport::ReadText(cfg + "/install.xml");
  const std::string props_xml = testsupport::ReadText(cfg + "/props.xml");
  auto without = [](std::string text, const std::string& part) {
    size_t at = text.find(part);
    EXPECT_NE(at, std::string::npos) << part;
    return at == std::string::npos ? text : text.erase(at, part.size());
  };
  auto emptied = [&](const std::string& id) {  // props.xml with the text of one ID removed
    std::string text = props_xml;
    size_t start = text.find(id + "\">") + id.size() + 2;
    return text.erase(start, text.find('<', start) - start);
  };
  const struct {
    const char* what;
    std::string file, text;  // the file of cfg/ replaced by the text
    bool with_uninstaller;
    const char* warning;
    size_t warnings = 1;  // lines on stderr
  } cases[] = {
      {"empty props.xml", "props.xml", "<Properties/>", true,
       "warning: Welcome page would show empty texts: WELCOME_DIALOG_TITLE, WELCOME_DIALOG_LINE1,", 7},
      {"one empty button", "props.xml", emptied("BUTTON_DONE"), true,
       "warning: Finish page would show empty texts: BUTTON_DONE ("},
      {"readme without its button", "props.xml", emptied("BUTTON_VIEW_README"), true,
       "warning: Finish page would show empty texts: BUTTON_VIEW_README ("},
      {"empty install.xml", "install.xml", "<InstallConfig/>", false, "warning: install.xml is empty:"},
      {"uninstall without log", "install.xml",
       without(install_xml, "<InstallLog>%InstallPath%\\Uninstall\\install.log</InstallLog>"), true,
       "warning: install.xml has an UninstallCmd but no InstallLog"},
      {"uninstaller not carried", "install.xml", install_xml, false,
       "warning: UninstallCmd names 'files\\Uninstall\\Uninstall.exe', which the payload does not carry"},
  };
  testsupport::WriteWholeFile(root_ + "/x", "MZ");
  for (const auto& c : cases) {
    testsupport::WriteWholeFile(cfg + "/" + c.file, c.text);
    std::string extra = c.with_uninstaller ? " --uninstaller " + ShellQuote(root_ + "/x") : "";
    Result r = Tool("check " + ShellQuote(cfg) + " --files " + ShellQuote(files) + extra);
    EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
    EXPECT_NE(r.err.find(c.warning), std::string::npos) << c.what << ": " << r.err;
    size_t lines = std::count(r.err.begin(), r.err.end(), '\n');
    EXPECT_EQ(lines, c.warnings) << c.what << ": " << r.err;  // only its own warnings
    testsupport::WriteWholeFile(cfg + "/props.xml", props_xml);
    testsupport::WriteWholeFile(cfg + "/install.xml", install_xml);
  }

  // The sample game as the quick start packs it: its program and uninstaller.
  const std::string sample = testsupport::SourceDir() + "/examples/sample-game";
  fs::copy(sample + "/files", root_ + "/sample-files", fs::copy_options::recursive);
  testsupport::WriteWholeFile(root_ + "/sample-files/StarCourier.exe", "MZ");
  Result r = Tool("check " + ShellQuote(sample + "/cfg") + " --files " + ShellQuote(root_ + "/sample-files") + " --uninstaller " +
                 ShellQuote(uninstaller_));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // 12 plus the rich-text license and the two retailers' icons, in cfg\ and files\stores\.
  EXPECT_EQ(r.out.rfind("ok: 17 entries, ", 0), 0u) << r.out;
}

TEST_F(MkinstallerProject, BuildFindsTheStubByOptionEnvironmentShareFolderAndBuildTree) {
  const std::string project = Init("game");
  auto build = [&](const std::string& env, const std::string& tool, const std::string& name) {
    return Tool("build --cfg " + ShellQuote(project + "/cfg") + " --files " + ShellQuote(project + "/files") +
                   " --uninstaller " + ShellQuote(uninstaller_) + " -o " + ShellQuote(root_ + "/" + name),
               env, tool);
  };
  auto starts_with = [&](const std::string& name, const std::string& stub_bytes) {
    return testsupport::ReadText(root_ + "/" + name).compare(0, stub_bytes.size(), stub_bytes) == 0;
  };
  // A copy of the tool with a share folder beside it, as the package installs it.
  fs::create_directories(root_ + "/usr/bin");
  fs::create_directories(root_ + "/usr/share/mkinstaller");
  fs::copy_file(testsupport::BinDir() + "/mkinstaller", root_ + "/usr/bin/mkinstaller");
  testsupport::WriteWholeFile(root_ + "/usr/share/mkinstaller/InstallerStub.exe", std::string(1000, 'P'));
  const std::string packaged = root_ + "/usr/bin/mkinstaller";

  EXPECT_EQ(build("MKINSTALLER_STUB=" + ShellQuote(stub_), packaged, "env.exe").status, 0);
  EXPECT_TRUE(starts_with("env.exe", std::string(3000, 'S')));
  EXPECT_EQ(build("", packaged, "share.exe").status, 0);
  EXPECT_TRUE(starts_with("share.exe", std::string(1000, 'P')));
  fs::remove(root_ + "/usr/share/mkinstaller/InstallerStub.exe");
  Result none = build("", packaged, "none.exe");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no InstallerStub.exe found (give --stub FILE or set MKINSTALLER_STUB); looked at "),
            std::string::npos)
      << none.err;
  Result missing = build("MKINSTALLER_STUB=" + ShellQuote(root_ + "/nowhere.exe"), "", "missing.exe");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("MKINSTALLER_STUB=" + root_ + "/nowhere.exe"), std::string::npos) << missing.err;
  if (fs::exists(testsupport::BinDir() + "/InstallerStub.exe")) {  // the build tree, when both targets are built
    EXPECT_EQ(build("", "", "tree.exe").status, 0);
    EXPECT_TRUE(starts_with("tree.exe", testsupport::ReadText(testsupport::BinDir() + "/InstallerStub.exe")));
  }
}

}  // namespace
