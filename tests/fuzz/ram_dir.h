// A private folder in memory (tmpfs) for targets whose code under test works
// on paths and writes files: on a disk file system each rewrite of a small
// file is flushed at its close, which made those targets crawl.
#pragma once
#include <stdlib.h>
#include <unistd.h>
#include <string>

inline std::string RamDir(const char* name) {
  std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
  std::string tmpl = base + name + ".XXXXXX";
  if (!mkdtemp(&tmpl[0])) abort();
  return tmpl;
}
