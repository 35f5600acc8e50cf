#include "base/private_folder.h"

#include "base/string_utils.h"

std::string PrivateFolderDescriptor(const std::string& user_sid) {
  // FA: full access. 0x1200A9: read, read attributes and extended
  // attributes, list, traverse and execute, and synchronise. OICI: folders
  // and files inside inherit the entry.
  return "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200A9;;;" + user_sid + ")";
}

std::string PrivateFolderName(const std::string& base, const std::string& prefix, unsigned number) {
  return RemoveTrailingSlash(base) + "\\" + prefix + StrFormat("%X", number);
}
