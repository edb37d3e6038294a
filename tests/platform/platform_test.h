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

}  // namespace tarntest
