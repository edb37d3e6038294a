// The engine's message texts are the system's own, in Chinese; a
// publisher's tool says each in English first, the original beside it.
#pragma once
#include <string>

namespace tarnmake {

// "English text (原文)" for a text of the engine's (ANSI), its arguments
// carried over; any other text as it is.
std::string InEnglish(const std::string& ansiText);

}  // namespace tarnmake
