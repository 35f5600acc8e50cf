#include <gtest/gtest.h>

#include "engine/file_associations.h"

namespace {

FileAssociation Sample() {
  FileAssociation a;
  a.FileExtension = ".abc";
  a.VersionedName = "Sample.Abc.1";
  a.ShellCommands = {{"open", "%InstallPath%\\game.exe \"%1\""}, {"edit", "x"}};
  a.IconLocation = "%InstallPath%\\game.exe,0";
  return a;
}

TEST(FileAssociationValues, ClassesPathSplitsAtTheLastBackslash) {
  struct Case {
    const char* path;
    const char* key;
    const char* name;
  } cases[] = {
      {".abc\\", ".abc", ""},
      {"Sample.Abc.1\\shell\\open\\command\\", "Sample.Abc.1\\shell\\open\\command", ""},
      {"a\\b\\c", "a\\b", "c"},
      {"plain", "plain", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    std::string key = "?", name = "?";
    SplitClassesPath(c.path, &key, &name);
    EXPECT_EQ(key, c.key) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
}

TEST(FileAssociationValues, UsableOnlyWithExtensionNameAndACommand) {
  EXPECT_TRUE(IsUsableAssociation(Sample()));
  FileAssociation a = Sample();
  a.ShellCommands.clear();
  EXPECT_FALSE(IsUsableAssociation(a));
  a = Sample();
  a.FileExtension.clear();
  EXPECT_FALSE(IsUsableAssociation(a));
  a = Sample();
  a.VersionedName.clear();
  EXPECT_FALSE(IsUsableAssociation(a));
}

TEST(FileAssociationValues, ValuesInWritingOrder) {
  std::vector<ClassesValue> values = AssociationValues(Sample(), {"C:\\G\\game.exe \"%1\"", "x"}, "C:\\G\\game.exe,0");
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].path, ".abc\\");
  EXPECT_EQ(values[0].value, "Sample.Abc.1");
  EXPECT_EQ(values[1].path, "Sample.Abc.1\\shell\\open\\command\\");
  EXPECT_EQ(values[1].value, "C:\\G\\game.exe \"%1\"");
  EXPECT_EQ(values[2].path, "Sample.Abc.1\\shell\\edit\\command\\");
  EXPECT_EQ(values[3].path, "Sample.Abc.1\\DefaultIcon\\");
  EXPECT_EQ(values[3].value, "C:\\G\\game.exe,0");

  FileAssociation without_icon = Sample();
  without_icon.IconLocation.clear();
  EXPECT_EQ(AssociationValues(without_icon, {"a", "b"}, "").size(), 3u);
}

TEST(FileAssociationValues, LogBlock) {
  FileAssociation a = Sample();
  a.FileExtension = ".%X%";  // written as configured
  std::vector<WString> lines = AssociationLogLines(a, {"C:\\G\\game.exe \"%1\"", "x & y"}, "C:\\G\\game.exe,0");
  std::vector<WString> expected = {
      u"\t<FileAssociation>",
      u"\t\t<FileExtension>.%X%</FileExtension>",
      u"\t\t<VersionedName>Sample.Abc.1</VersionedName>",
      u"\t\t<IconLocation>C:\\G\\game.exe,0</IconLocation>",
      u"\t\t<ShellCommand>",
      u"\t\t\t<Name>open</Name>",
      u"\t\t\t<Command>C:\\G\\game.exe &quot;%1&quot;</Command>",
      u"\t\t</ShellCommand>",
      u"\t\t<ShellCommand>",
      u"\t\t\t<Name>edit</Name>",
      u"\t\t\t<Command>x &amp; y</Command>",
      u"\t\t</ShellCommand>",
      u"\t</FileAssociation>",
  };
  EXPECT_EQ(lines, expected);
}

}  // namespace
