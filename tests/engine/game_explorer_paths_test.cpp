#include <gtest/gtest.h>

#include "engine/game_explorer.h"

namespace {

TEST(GameExplorerPaths, MethodByWindowsVersion) {
  struct Case {
    unsigned major, minor;
    GameExplorerMethod method;
  } cases[] = {
      {4, 0, GameExplorerMethod::None},         {5, 0, GameExplorerMethod::None},
      {5, 1, GameExplorerMethod::UpgradeKey},   {5, 2, GameExplorerMethod::None},
      {6, 0, GameExplorerMethod::GameExplorerObject}, {6, 1, GameExplorerMethod::GameExplorerObject},
      {10, 0, GameExplorerMethod::GameExplorerObject},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GameExplorerMethodFor(c.major, c.minor), c.method) << c.major << "." << c.minor;
}

TEST(GameExplorerPaths, TaskFolderAndPlayTask) {
  std::string guid = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
  std::string task = GameExplorerTaskFolder("C:\\ProgramData", guid);
  EXPECT_EQ(task, "C:\\ProgramData\\Microsoft\\Windows\\GameExplorer\\" + guid);
  EXPECT_EQ(PlayTaskLinkPath(task, "Play"), task + "\\PlayTasks\\0\\Play");
  // The link name is used as configured; the shortcut step expands it.
  EXPECT_EQ(PlayTaskLinkPath(task, "Play %GameName%"), task + "\\PlayTasks\\0\\Play %GameName%");
}

}  // namespace
