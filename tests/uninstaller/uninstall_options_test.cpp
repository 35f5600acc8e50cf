// The uninstaller's command line, as Add/Remove Programs and callers give it.
#include <gtest/gtest.h>

#include "uninstaller/uninstall_options.h"

namespace {

TEST(UninstallOptions, CommandLines) {
  UninstallOptions o = ParseUninstallOptions(
      "\"C:\\Program Files\\G\\Uninstall\\uninstall.exe\" \"C:\\Program Files\\G\\Uninstall\\install.log\" -silent");
  EXPECT_EQ(o.logPath, "C:\\Program Files\\G\\Uninstall\\install.log");
  EXPECT_TRUE(o.silent);
  EXPECT_FALSE(o.removeUserData);

  o = ParseUninstallOptions("u.exe -removeuserdata -report=\"C:\\r 1.txt\" -unknown");
  EXPECT_TRUE(o.logPath.empty());
  EXPECT_TRUE(o.removeUserData);
  EXPECT_EQ(o.reportPath, "C:\\r 1.txt");

  o = ParseUninstallOptions("C:\\Temp\\zeluninst7.exe -removeafter=42 \"C:\\G\\u.exe\" \"C:\\G\"");
  EXPECT_EQ(o.removeAfter, 42);
  EXPECT_EQ(o.removePaths, (std::vector<std::string>{"C:\\G\\u.exe", "C:\\G"}));
  EXPECT_TRUE(o.logPath.empty());

  EXPECT_EQ(DefaultReportPath("C:\\G\\install.log"), "C:\\G\\install_uninstall_report.txt");
  EXPECT_EQ(DefaultReportPath("C:\\G.d\\log"), "C:\\G.d\\log_uninstall_report.txt");
}

}  // namespace
