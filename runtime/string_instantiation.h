// Included before anything else in every C++ file of the Windows build
// (cmake/StubSize.cmake). The C++ library declares std::string and
// std::wstring as instantiated inside the library, and each of those
// instantiations comes into a program whole (some 35 KB of code and unwind
// tables, every member whether used or not). Lifting the declaration makes
// the compiler instantiate just the members a program calls, and the linker
// drops what nothing calls. -1 is the library's own setting for exactly this
// (it leaves its other instantiation declarations, streams and locales,
// alone); its configuration header is included first so that its own
// definition comes before ours.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
