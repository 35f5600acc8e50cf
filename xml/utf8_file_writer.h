// Writes wide text to an open file as UTF-8 with a byte-order mark.
#pragma once

#include <cstdio>

#include "base/string_utils.h"

namespace BrioCommon {

// Writes EF BB BF, optionally the line
//   <?xml version="1.0" encoding="UTF-8" ?>
// and then every 16-bit character as one to three UTF-8 bytes (a surrogate
// code unit as its own three-byte sequence). False on the first failed write;
// on success the file is flushed. The caller closes the file.
bool WriteUTF8File(std::FILE* file, const WString& text, bool with_declaration);

}  // namespace BrioCommon
