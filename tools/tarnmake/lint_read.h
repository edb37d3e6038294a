#pragma once
#include <string>
#include "lint_findings.h"

namespace tarnmake {
namespace lint {

// The script at path as GBK text; false after an error.
bool ReadScript(const std::string& path, Findings& f, std::string* ansi);

}  // namespace lint
}  // namespace tarnmake
