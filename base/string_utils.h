// Text helpers used across the installer: character-by-character conversion
// between narrow (8-bit) and wide (16-bit) strings, number parsing, printf-style
// formatting, splitting and simple path and folder operations.
//
// Wide text is 16-bit on both targets (char16_t), so the host build reads and
// writes exactly what the Windows build does. No code page is ever applied:
// narrowing keeps the low 8 bits of each character, widening zero-extends.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

using WChar = char16_t;
using WString = std::u16string;

WString Widen(const std::string& narrow);
std::string Narrow(const WString& wide, bool* all_fit = nullptr);

// Only a-z change; every other character, U+00E9 included, stays as it is.
std::string Upper(const std::string& text);
WString Upper(const WString& text);

// Removes space, tab, LF, VT, FF and CR from both ends.
WString Trim(const WString& text);

// Optional '-', then decimal digits, or "0x"/"0X" and hex digits (the 'x' must
// be at index 1 with nothing accumulated yet). Overflow is not checked.
// On failure the result is 0 and false is returned.
bool StringToInt(const std::string& text, int* result);
bool StringToInt(const WString& text, int* result);

// Optional '-', decimal digits, optionally '.' and more digits. No exponent.
bool StringToDouble(const WString& text, double* result);

// printf-style formatting; grows its buffer from 160 characters by doubling
// while the size before doubling is at most 999999; empty when it never fits.
// Integers, characters and strings only, and in the wide form no "%s": on
// Windows the system's formatting does it, which reads "%s" of a wide format
// as a wide string.
std::string StrFormat(const char* format, ...);
WString StrFormat(const WChar* format, ...);

// Parts between separators, empty parts kept; "" gives one empty part.
std::vector<std::string> Split(const std::string& text, char separator);
std::vector<WString> Split(const WString& text, WChar separator);

// Removes one trailing '\' or '/'.
std::string RemoveTrailingSlash(const std::string& path);
WString RemoveTrailingSlash(const WString& path);

// Text before the last '\' or '/'; empty when there is none.
std::string GetDirectory(const std::string& path);
// Text after the last '\' or '/' (whole path when none); optionally without
// the part from the last '.' on.
std::string GetFileName(const std::string& path, bool without_extension);
// Text before the first '\' or '/' at index 2 or later ("C:", "\\server").
std::string GetRoot(const std::string& path);

// ---- Operating-system side (Windows calls on Windows, POSIX on the host) ----

// True when a file or folder matches (wildcards allowed on Windows).
bool FileExists(const std::string& path);
bool FileExists(const WString& path);

// Creates the folder and every folder above it that is missing; failures
// are ignored.
void MakeDirectories(const std::string& path);

// Deletes everything inside the folder (read-only files too); refuses folder
// names shorter than 2 characters. False when anything could not be deleted.
bool DeleteDirectoryContents(const std::string& folder);
// DeleteDirectoryContents, then the folder itself.
bool DeleteTree(const std::string& folder);

// Version tests, asked once and kept.
bool IsVista();   // major version above 5
bool IsWin9x();   // Windows 9x platform

// The path separator of the running target, for code that builds host paths.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
