// Helpers of the platform tests.
#pragma once
#include <string>
#include <vector>
#include "platform/journal.h"
#include "platform/registry.h"

namespace tarntest {

// A name no other test process uses at the same time.
std::string UniqueName(const std::string& prefix);

// Removes parent\name with everything below it.
void DeleteKeyTree(platform::RegKey& parent, const std::string& name);

// Collects journal events while it lives; restores the previous handler.
class JournalRecorder {
 public:
  JournalRecorder();
  ~JournalRecorder();
  const std::vector<platform::JournalEvent>& events() const { return events_; }

 private:
  std::vector<platform::JournalEvent> events_;
  platform::JournalHandler prev_;
};

}  // namespace tarntest
