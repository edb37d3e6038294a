// The publisher's mistakes, caught while building rather than on the
// installing machine: every line of a setup or UI script that the readers
// would skip, misread or refuse is told as "FILE:LINE: text", and a script
// with any error builds nothing.
#pragma once
#include <string>
#include <vector>
#include "reader.h"

namespace tarnmake {

// Unknown section, key and placeholder names, and scripts that look like
// unmarked UTF-8, are warnings instead of errors.
void SetLax(bool lax);
bool Lax();
// Every warning of package and build is an error.
bool Strict();

// file: the script as the publisher named it; path: the file to read. True
// when nothing stops the build (warnings may have been told).
bool LintSetupScript(const std::string& file, const std::string& path);
bool LintUIScript(const std::string& file, const std::string& path);
// The same checks on a UI script's text (GBK, as an installer carries it).
bool LintUIText(const std::string& file, const std::string& text);

// The stored paths of a package: what the install would refuse, as for a
// script, named by entry.
bool LintStoredEntries(const std::string& file, const std::vector<Entry>& entries);

}  // namespace tarnmake
