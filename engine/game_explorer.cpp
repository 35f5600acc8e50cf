#include "engine/game_explorer.h"

GameExplorerMethod GameExplorerMethodFor(unsigned major, unsigned minor) {
  if (major > 5) return GameExplorerMethod::GameExplorerObject;
  if (major == 5 && minor == 1) return GameExplorerMethod::UpgradeKey;
  return GameExplorerMethod::None;
}

std::string GameExplorerTaskFolder(const std::string& data_folder, const std::string& guid) {
  return data_folder + "\\Microsoft\\Windows\\GameExplorer\\" + guid;
}

std::string PlayTaskLinkPath(const std::string& task_folder, const std::string& link_name) {
  return task_folder + "\\PlayTasks\\0\\" + link_name;
}
