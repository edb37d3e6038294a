// The reference under docs/, built into tarnmake so that its help and the
// files cannot drift apart.
#pragma once
#include <cstddef>
#include <vector>

namespace tarnmake {

struct HelpTopic {
  const char* name;  // the file's name without .md
  const char* text;  // its bytes (UTF-8)
  size_t size;
};

// In byte order of the names.
const std::vector<HelpTopic>& HelpTopics();

}  // namespace tarnmake
