// Forced into every C++ file of the shipped MinGW programs (TARN_SHIP):
// the library's templates, std::string's above all, are instantiated in
// our objects instead of taken from the static C++ library. Its copy of
// std::string brings every member with it (32 KiB), as the PE linker keeps
// all code that its objects' unwind tables name; ours brings only the
// members the programs use.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
