#include "engine/install_log.h"

#include <gtest/gtest.h>

#include "config/defines_parser.h"
#include "engine/install_config.h"
#include "support/test_support.h"

namespace {

using BrioCommon::InstallConfigParser;

// The file is written in text mode: each line feed reaches the disk as CR LF
// on Windows and as it is on the host.
#ifdef _WIN32
const std::string kNewline = "\r\n";
#else
const std::string kNewline = "\n";
#endif

const std::string kPreamble = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

// The expected file: BOM, declaration, then the lines, each with its newline.
std::string FileOf(const std::vector<std::string>& lines) {
  std::string out = kPreamble + kNewline;
  for (const std::string& line : lines) out += line + kNewline;
  return out;
}

std::string Lines(const InstallLog& log) { return Narrow(log.Text()); }

class InstallLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    variables_.SetVariable(u"InstallName", u"%GameName%");
    variables_.SetVariable(u"GameName", u"Tom & Jerry  2");
    variables_.SetVariable(u"InstallPath", u"C:\\Games\\T&J");
  }
  DefinesParser variables_;  // the job's variables the log's texts expand in
  testsupport::ScratchDir dir_;
};

TEST_F(InstallLogTest, HeaderLinesInOrderWithTheirEscaping) {
  InstallConfigParser config;
  config.AppDataSuffix = "Zelkon & Co";
  config.UninstallDeltree = {"%InstallPath%", "<b>"};
  config.UserDirectory = {"%InstallPath%\\saves"};
  config.UninstallDelRegKey = {"HKLM\\Software\\Z"};
  config.UserRegKey = {"HKCU\\Software\\Z's"};
  InstallLog log;
  log.AppendHeader(config, variables_);
  EXPECT_EQ(Lines(log),
            "<InstallLog>\n"
            "\t<InstallName>Tom &amp; Jerry &#32;2</InstallName>\n"
            "\t<AppDataSuffix>Zelkon & Co</AppDataSuffix>\n"
            "\t<UninstallDeltree>C:\\Games\\T&amp;J</UninstallDeltree>\n"
            "\t<UninstallDeltree>&lt;b&gt;</UninstallDeltree>\n"
            "\t<UserDirectory>C:\\Games\\T&amp;J\\saves</UserDirectory>\n"
            "\t<UninstallDelRegKey>HKLM\\Software\\Z</UninstallDelRegKey>\n"
            "\t<UserRegKey>HKCU\\Software\\Z&apos;s</UserRegKey>\n");
}

TEST_F(InstallLogTest, MinimalHeaderHasNoAppDataSuffixLine) {
  InstallConfigParser config;
  InstallLog log;
  log.AppendHeader(config, variables_);
  EXPECT_EQ(Lines(log), "<InstallLog>\n\t<InstallName>Tom &amp; Jerry &#32;2</InstallName>\n");
}

TEST_F(InstallLogTest, FileLinesAndElementsAreEscapedAsAsked) {
  InstallLog log;
  log.AppendFile("C:\\Games\\a & b.txt");
  log.AppendElement(2, "Key", u"<k>", LogValue::Escaped);
  log.AppendElement(0, "Raw", u"<k>", LogValue::Verbatim);
  log.AppendLine(u"\t<Registry>");
  EXPECT_EQ(Lines(log),
            "\t<File>C:\\Games\\a &amp; b.txt</File>\n\t\t<Key>&lt;k&gt;</Key>\n<Raw><k></Raw>\n\t<Registry>\n");
}

TEST_F(InstallLogTest, WithoutAFileNothingIsFinishedOrLoggedForUninstall) {
  InstallConfigParser config;
  config.UninstallPreExec.resize(1);
  DefinesParser defines;
  defines.SetVariable(u"A", u"1");
  InstallLog log;
  log.AppendLine(u"<InstallLog>");
  log.AppendUninstallExecs(config, variables_);
  log.Finish(defines);
  EXPECT_EQ(Lines(log), "<InstallLog>\n");
  EXPECT_FALSE(log.HasFile());
}

TEST_F(InstallLogTest, AFileThatCannotBeOpenedLeavesTheLogInMemory) {
  InstallLog log;
  EXPECT_FALSE(log.OpenFile(dir_.file("missing-folder") + "/" + "install.log"));
  EXPECT_FALSE(log.HasFile());
}

TEST_F(InstallLogTest, FinishedFileHoldsEveryLineWithDefinesInNameOrder) {
  InstallConfigParser config;
  config.AppDataSuffix = "Zelkon";
  ExecRecord pre;
  pre.Exe = "%InstallPath%\\un.exe";
  pre.Directory = "%InstallPath%";
  pre.Params = "/x <y>";
  pre.SilentFail = true;
  pre.Id = "not logged";
  pre.StatusMessage = u"not logged";
  pre.ReturnCodes = {0, 5};
  config.UninstallPreExec = {pre};
  ExecRecord post;
  post.Exe = "post.exe";
  post.PostConfirmation = true;
  config.UninstallPostExec = {post};

  DefinesParser defines;
  defines.SetVariable(u"gamedir", u"A");
  defines.SetVariable(u"GameDir", u"B & <C>");
  defines.SetVariable(u"InstallPath", u"%ProgramFiles%\\Z");

  const std::string path = dir_.file("install.log");
  InstallLog log;
  ASSERT_TRUE(log.OpenFile(path));
  log.AppendHeader(config, variables_);
  log.AppendFile("C:\\Games\\T&J\\game.exe");
  log.AppendLine(u"\t<Registry>");
  log.AppendLine(u"\t</Registry>");
  log.AppendUninstallExecs(config, variables_);
  log.Finish(defines);
  EXPECT_FALSE(log.HasFile());

  EXPECT_EQ(testsupport::ReadText(path), FileOf({
                                             "<InstallLog>",
                                             "\t<InstallName>Tom &amp; Jerry &#32;2</InstallName>",
                                             "\t<AppDataSuffix>Zelkon</AppDataSuffix>",
                                             "\t<File>C:\\Games\\T&amp;J\\game.exe</File>",
                                             "\t<Registry>",
                                             "\t</Registry>",
                                             "\t<PreExec>",
                                             "\t\t<Exe>C:\\Games\\T&J\\un.exe</Exe>",
                                             "\t\t<Directory>C:\\Games\\T&J</Directory>",
                                             "\t\t<Params>/x <y></Params>",
                                             "\t\t<SilentFail>1</SilentFail>",
                                             "\t\t<PostConfirmation>0</PostConfirmation>",
                                             "\t</PreExec>",
                                             "\t<PostExec>",
                                             "\t\t<Exe>post.exe</Exe>",
                                             "\t\t<Directory></Directory>",
                                             "\t\t<Params></Params>",
                                             "\t\t<SilentFail>0</SilentFail>",
                                             "\t\t<PostConfirmation>1</PostConfirmation>",
                                             "\t</PostExec>",
                                             "\t<Defines>",
                                             "\t\t<Define>",
                                             "\t\t\t<Name>GAMEDIR</Name>",
                                             "\t\t\t<Value>B & <C></Value>",
                                             "\t\t</Define>",
                                             "\t\t<Define>",
                                             "\t\t\t<Name>INSTALLPATH</Name>",
                                             "\t\t\t<Value>%ProgramFiles%\\Z</Value>",
                                             "\t\t</Define>",
                                             "\t</Defines>",
                                             "</InstallLog>",
                                         }));
}

TEST_F(InstallLogTest, WithoutDefinesThereIsNoDefinesBlockAndASecondFinishDoesNothing) {
  const std::string path = dir_.file("install.log");
  DefinesParser defines;
  InstallLog log;
  ASSERT_TRUE(log.OpenFile(path));
  log.AppendLine(u"<InstallLog>");
  log.Finish(defines);
  EXPECT_EQ(testsupport::ReadText(path), FileOf({"<InstallLog>", "</InstallLog>"}));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  log.Finish(defines);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(Lines(log), "<InstallLog>\n</InstallLog>\n") << "the closing lines are added once";
}

TEST_F(InstallLogTest, WideCharactersAreWrittenAsUtf8) {
  const std::string path = dir_.file("install.log");
  DefinesParser defines;
  defines.SetVariable(u"N", u"\u00E9\u20AC");
  InstallLog log;
  ASSERT_TRUE(log.OpenFile(path));
  log.Finish(defines);
  EXPECT_EQ(testsupport::ReadText(path),
            FileOf({"\t<Defines>", "\t\t<Define>", "\t\t\t<Name>N</Name>", "\t\t\t<Value>\xC3\xA9\xE2\x82\xAC</Value>",
                    "\t\t</Define>", "\t</Defines>", "</InstallLog>"}));
}

TEST(PropertiesCopyPathTest, CutsBeforeTheLastDot) {
  struct Case {
    const char* log;
    const char* copy;
  } cases[] = {
      {"C:\\Games\\My.Game\\Install.log", "C:\\Games\\My.Game\\Install_props.xml"},
      {"C:\\Games\\My.Game\\log", "C:\\Games\\My_props.xml"},
      {"C:\\Games\\log", "C:\\Games\\log_props.xml"},
      {"install.log.xml", "install.log_props.xml"},
  };
  for (const Case& c : cases) EXPECT_EQ(PropertiesCopyPathFor(c.log), c.copy) << c.log;
}

}  // namespace
