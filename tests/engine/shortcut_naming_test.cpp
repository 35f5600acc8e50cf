#include <gtest/gtest.h>

#include "engine/shortcuts.h"

namespace {

TEST(ShortcutNaming, WebAddressesOnlyWithTheExactScheme) {
  struct Case {
    const char* target;
    const char* extension;
  } cases[] = {
      {"http://example.com/more", ".url"},
      {"http://", ".url"},
      {"HTTP://example.com", ".lnk"},  // the scheme is compared case-sensitively
      {"https://example.com", ".lnk"},
      {"http:/", ".lnk"},
      {"C:\\Games\\game.exe", ".lnk"},
      {"", ".lnk"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LinkExtension(c.target), c.extension) << c.target;
    EXPECT_EQ(IsWebAddress(c.target), std::string(c.extension) == ".url") << c.target;
  }
}

TEST(ShortcutNaming, PermanentMarker) {
  struct Case {
    const char* dest;
    bool permanent;
    const char* rest;
  } cases[] = {
      {"{perm}C:\\Users\\Public\\Desktop\\Game", true, "C:\\Users\\Public\\Desktop\\Game"},
      {"C:\\Desktop\\{perm}Game{perm}", true, "C:\\Desktop\\Game{perm}"},  // only the first one goes
      {"C:\\Desktop\\{Perm}Game", false, "C:\\Desktop\\{Perm}Game"},
      {"C:\\Desktop\\Game", false, "C:\\Desktop\\Game"},
  };
  for (const Case& c : cases) {
    std::string dest = c.dest;
    EXPECT_EQ(TakePermanentMarker(&dest), c.permanent) << c.dest;
    EXPECT_EQ(dest, c.rest);
  }
}

TEST(ShortcutNaming, LogFolderIsTheLastFolderOfTheLogPath) {
  EXPECT_EQ(LogFolderName("C:\\Games\\Example Game\\install.log"), "Example Game");
  EXPECT_EQ(LogFolderName("C:\\Games/Logs/install.log"), "Logs");
  EXPECT_EQ(LogFolderName("install.log"), "");
  EXPECT_EQ(LogFolderName(""), "");
}

TEST(ShortcutNaming, LogLines) {
  EXPECT_EQ(ShortcutLogLine(u"%AppFolder%\\%GameName%\\Play %GameName%.lnk", false, u"C:\\P", u"G"),
            u"\t<File>%AppFolder%\\%GameName%\\Play %GameName%.lnk</File>");
  EXPECT_EQ(ShortcutLogLine(u"C:\\Desktop\\A & B.lnk", false, u"", u""), u"\t<File>C:\\Desktop\\A &amp; B.lnk</File>");
  // Shared: the condition's folder names are written as they are, the path
  // escaped.
  EXPECT_EQ(ShortcutLogLine(u"C:\\Desktop\\A & B.lnk", true, u"C:\\Program Files\\Z & Co", u"Game"),
            u"\t<File>#HasDirectoriesExcept C:\\Program Files\\Z & Co,Game, | C:\\Desktop\\A &amp; B.lnk</File>");
}

}  // namespace
