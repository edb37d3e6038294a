// Text that publishers hand to tarnmake in files of their own.
#pragma once
#include <string>

namespace tarnmake {

bool ValidUtf8(const std::string& s);

// A setup or UI script as the system's text. One that begins with a UTF-8
// byte order mark (what Windows editors write) is UTF-8: the mark goes and
// the rest is converted, a character GBK lacks becoming its four-byte
// sequence. Any other is GBK already and left alone; nothing is guessed.
// False when a marked one is not UTF-8, with its first such line in *badLine.
bool ScriptToAnsi(const std::string& bytes, std::string* ansi, int* badLine);

// Whether the bytes declare UTF-8 by their mark.
bool HasUtf8Mark(const std::string& bytes);

// A name as Windows compares names, for finding two that are one file
// there: letters without case (ASCII, and the Latin, Greek, Cyrillic and
// full-width ones that names beyond GBK bring), as UTF-8.
std::string FoldedName(const std::string& ansi);

}  // namespace tarnmake
