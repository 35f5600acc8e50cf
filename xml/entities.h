// Entity references in XML text: decoding as the reader applies it, and the
// escaping used when values are written back into XML.
#pragma once

#include <string>

#include "base/string_utils.h"

namespace BrioCommon {

// Replaces each "&name;" reference (lt, amp, gt, quot, apos, nbsp as a plain
// space, cr as a line feed, &#decimal; and &#xhex;) by its character; an
// unknown name becomes "&". An "&" with no ";" after it stays as it is.
WString DecodeEntities(const WString& text);

// Escapes LF, '"', '&', '\'', '<' and '>', and writes spaces that the reader's
// whitespace collapsing would lose (leading, repeated, trailing) as "&#32;".
std::string EncodeEntities(const std::string& text);
WString EncodeEntities(const WString& text);

}  // namespace BrioCommon
