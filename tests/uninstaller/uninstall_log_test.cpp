// Reading install logs back: a full log as the installer writes it (with its
// unescaped lines), the log of a run that stopped in the registry step, and
// damaged logs.
#include <gtest/gtest.h>

#include "uninstaller/uninstall_log.h"

namespace {

// Every kind of line, as the installer writes them (CR LF endings, BOM and
// declaration first).
const char16_t kFullLog[] =
    u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
    u"<InstallLog>\r\n"
    u"\t<InstallName>Tom &amp; Jerry &#32;Game</InstallName>\r\n"
    u"\t<AppDataSuffix>Zelkon & Co</AppDataSuffix>\r\n"
    u"\t<UninstallDeltree>C:\\Games\\X\\Cache</UninstallDeltree>\r\n"
    u"\t<UserDirectory>C:\\Games\\X\\Saves</UserDirectory>\r\n"
    u"\t<UninstallDelRegKey>HKLM\\Software\\X</UninstallDelRegKey>\r\n"
    u"\t<UserRegKey>HKCU\\Software\\X\\Player</UserRegKey>\r\n"
    u"\t<File>C:\\Games\\X\\game.exe</File>\r\n"
    u"\t<GameExplorerGuid>{01234567-89AB-CDEF-0123-456789ABCDEF}</GameExplorerGuid>\r\n"
    u"\t<Registry>\r\n"
    u"\t\t<RegValue>\r\n"
    u"\t\t\t<Key>HKLM\\Software\\X</Key>\r\n"
    u"\t\t\t<Name>Path</Name>\r\n"
    u"\t\t</RegValue>\r\n"
    u"\t</Registry>\r\n"
    u"\t<File>#HasDirectoriesExcept C:\\Games,X, | %CommonDesktop%\\X.lnk</File>\r\n"
    u"\t<FileAssociation>\r\n"
    u"\t\t<FileExtension>.xsav</FileExtension>\r\n"
    u"\t\t<VersionedName>X.Save.1</VersionedName>\r\n"
    u"\t\t<IconLocation>C:\\Games\\X\\game.exe,0</IconLocation>\r\n"
    u"\t\t<ShellCommand>\r\n"
    u"\t\t\t<Name>open</Name>\r\n"
    u"\t\t\t<Command>&quot;C:\\Games\\X\\game.exe&quot; &quot;%1&quot;</Command>\r\n"
    u"\t\t</ShellCommand>\r\n"
    u"\t</FileAssociation>\r\n"
    u"\t<PreExec>\r\n"
    u"\t\t<Exe>C:\\Games\\X\\tool.exe</Exe>\r\n"
    u"\t\t<Directory>C:\\Games\\X</Directory>\r\n"
    u"\t\t<Params>/remove \"a & b\" <x></Params>\r\n"
    u"\t\t<SilentFail>1</SilentFail>\r\n"
    u"\t\t<PostConfirmation>0</PostConfirmation>\r\n"
    u"\t</PreExec>\r\n"
    u"\t<PostExec>\r\n"
    u"\t\t<Exe>Cleanup@C:\\Games\\X\\lib.dll</Exe>\r\n"
    u"\t\t<Directory></Directory>\r\n"
    u"\t\t<Params></Params>\r\n"
    u"\t\t<SilentFail>0</SilentFail>\r\n"
    u"\t\t<PostConfirmation>1</PostConfirmation>\r\n"
    u"\t</PostExec>\r\n"
    u"\t<Defines>\r\n"
    u"\t\t<Define>\r\n"
    u"\t\t\t<Name>GAMENAME</Name>\r\n"
    u"\t\t\t<Value>A <b> & c</Value>\r\n"
    u"\t\t</Define>\r\n"
    u"\t\t<Define>\r\n"
    u"\t\t\t<Name>NOTE</Name>\r\n"
    u"\t\t\t<Value>two\r\nlines</Value>\r\n"
    u"\t\t</Define>\r\n"
    u"\t</Defines>\r\n"
    u"</InstallLog>\r\n";

TEST(UninstallLog, ReadsEveryEntryOfAFullLog) {
  InstallLogEntries log;
  LogReadResult result = ParseInstallLog(kFullLog, &log);
  ASSERT_EQ(result.error, LogReadError::None) << result.line << " " << result.detail;
  EXPECT_EQ(log.installName, u"Tom & Jerry  Game");
  EXPECT_EQ(log.appDataSuffix, u"Zelkon & Co");
  EXPECT_EQ(log.deltrees, std::vector<WString>{u"C:\\Games\\X\\Cache"});
  EXPECT_EQ(log.userDirectories, std::vector<WString>{u"C:\\Games\\X\\Saves"});
  EXPECT_EQ(log.deleteKeys, std::vector<WString>{u"HKLM\\Software\\X"});
  EXPECT_EQ(log.userKeys, std::vector<WString>{u"HKCU\\Software\\X\\Player"});
  EXPECT_EQ(log.files, (std::vector<WString>{u"C:\\Games\\X\\game.exe",
                                             u"#HasDirectoriesExcept C:\\Games,X, | %CommonDesktop%\\X.lnk"}));
  EXPECT_EQ(log.gameGuids, std::vector<WString>{u"{01234567-89AB-CDEF-0123-456789ABCDEF}"});
  ASSERT_EQ(log.regValues.size(), 1u);
  EXPECT_EQ(log.regValues[0].key, u"HKLM\\Software\\X");
  EXPECT_EQ(log.regValues[0].name, u"Path");
  ASSERT_EQ(log.associations.size(), 1u);
  EXPECT_EQ(log.associations[0].extension, u".xsav");
  EXPECT_EQ(log.associations[0].versionedName, u"X.Save.1");
  EXPECT_EQ(log.associations[0].iconLocation, u"C:\\Games\\X\\game.exe,0");
  ASSERT_EQ(log.associations[0].commands.size(), 1u);
  EXPECT_EQ(log.associations[0].commands[0].command, u"\"C:\\Games\\X\\game.exe\" \"%1\"");
  ASSERT_EQ(log.preExecs.size(), 1u);
  EXPECT_EQ(log.preExecs[0].params, u"/remove \"a & b\" <x>");
  EXPECT_TRUE(log.preExecs[0].silentFail);
  EXPECT_FALSE(log.preExecs[0].postConfirmation);
  ASSERT_EQ(log.postExecs.size(), 1u);
  EXPECT_EQ(log.postExecs[0].exe, u"Cleanup@C:\\Games\\X\\lib.dll");
  EXPECT_TRUE(log.postExecs[0].postConfirmation);
  ASSERT_EQ(log.defines.size(), 2u);
  EXPECT_EQ(log.defines[0].value, u"A <b> & c");
  EXPECT_EQ(log.defines[1].value, u"two\nlines");
  EXPECT_TRUE(log.registryClosed);
  EXPECT_TRUE(log.logClosed);
}

TEST(UninstallLog, AStoppedRegistryStepIsReadAsFarAsItGoes) {
  // The registry step failed after its second value: no "</Registry>", the
  // defines and the end line follow at once.
  InstallLogEntries log;
  LogReadResult result = ParseInstallLog(
      u"<InstallLog>\n\t<InstallName>X</InstallName>\n\t<File>C:\\G\\a.exe</File>\n\t<Registry>\n"
      u"\t\t<RegValue>\n\t\t\t<Key>HKLM\\Software\\X</Key>\n\t\t\t<Name>A</Name>\n\t\t</RegValue>\n"
      u"\t\t<RegValue>\n\t\t\t<Key>hklm\\Software\\X</Key>\n\t\t\t<Name>B</Name>\n\t\t</RegValue>\n"
      u"\t<Defines>\n\t\t<Define>\n\t\t\t<Name>INSTALLPATH</Name>\n\t\t\t<Value>C:\\G</Value>\n\t\t</Define>\n"
      u"\t</Defines>\n</InstallLog>\n",
      &log);
  ASSERT_EQ(result.error, LogReadError::None) << result.line << " " << result.detail;
  EXPECT_FALSE(log.registryClosed);
  EXPECT_TRUE(log.logClosed);
  EXPECT_EQ(log.regValues.size(), 2u);
  EXPECT_EQ(log.files.size(), 1u);
  ASSERT_EQ(log.defines.size(), 1u);
  EXPECT_EQ(log.defines[0].value, u"C:\\G");
}

TEST(UninstallLog, DamagedLogsAreRefusedWhole) {
  struct Case {
    const char16_t* text;
    LogReadError error;
    int line;
  };
  const Case cases[] = {
      {u"", LogReadError::NotAnInstallLog, 0},
      {u"<Defines>\n</Defines>\n", LogReadError::Damaged, 1},
      {u"<InstallLog>\n\t<File>C:\\a</File>\n\tgarbage\n</InstallLog>\n", LogReadError::Damaged, 3},
      {u"<InstallLog>\n\t<File>C:\\a</Fil>\n</InstallLog>\n", LogReadError::Damaged, 2},
      {u"<InstallLog>\n\t<Key>HKLM\\X</Key>\n</InstallLog>\n", LogReadError::None, 0},  // unknown entry: ignored
      {u"<InstallLog>\n\t</RegValue>\n</InstallLog>\n", LogReadError::Damaged, 2},
      {u"<InstallLog>\n\t<Define>\n", LogReadError::Damaged, 2},
      {u"<InstallLog>\n\t<File>a &bad < b</File>\n", LogReadError::Damaged, 2},
  };
  for (const Case& c : cases) {
    InstallLogEntries log;
    LogReadResult result = ParseInstallLog(c.text, &log);
    EXPECT_EQ(result.error, c.error) << Narrow(c.text);
    EXPECT_EQ(result.line, c.line) << Narrow(c.text);
    if (result.error != LogReadError::None) {
      EXPECT_TRUE(log.files.empty());
    }
  }
  EXPECT_NE(DescribeLogReadResult({LogReadError::Damaged, 3, "x"}, "C:\\l.log").find("line 3"), std::string::npos);
}

}  // namespace
