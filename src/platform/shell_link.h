// Shell links (.lnk shortcuts) through the shell link component: on Windows
// IShellLinkA and IPersistFile; in the sandbox a writer of the same binary
// format, so that the files read back with any .lnk reader.
#pragma once
#include <memory>
#include <string>
#include "platform/types.h"

namespace platform {

// Status codes as HRESULTs: 0 or positive is success.
enum : LONG { kHrOk = 0, kHrFail = static_cast<LONG>(0x80004005), kHrInvalidArg = static_cast<LONG>(0x80070057) };

class ShellLink {
 public:
  ShellLink();
  ~ShellLink();  // releases the interfaces
  ShellLink(const ShellLink&) = delete;
  ShellLink& operator=(const ShellLink&) = delete;

  // CoCreateInstance of the shell link class for IShellLinkA.
  LONG Create();
  LONG SetPath(const std::string& target);
  LONG SetDescription(const std::string& text);
  LONG SetArguments(const std::string& text);
  LONG SetWorkingDirectory(const std::string& dir);
  // QueryInterface for IPersistFile, then Save(name, TRUE). Returns the
  // status of the interface request; *saved the status of the save. The
  // name is converted to UTF-16 with the ANSI code page.
  LONG Save(const std::string& linkPath, LONG* saved);

  // Reads a link back (tests, tools): target and working directory.
  static bool Read(const std::string& linkPath, std::string* target, std::string* workingDir);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// CoInitialize for the calling thread for the scope's life (no-op in the
// sandbox).
class ComScope {
 public:
  ComScope();
  ~ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_ = false;
};

}  // namespace platform
