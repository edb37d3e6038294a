// The sandbox registry in memory and its REGEDIT4 text form, shared by the
// registry back end (its store file) and by "regedit /s" (imported files).
#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

struct RegValue {
  std::string name;  // ANSI; empty for the default value ("@")
  std::string data;  // the string, or for other types their text ("dword:00000001")
  bool isString = true;
};

// Keys by full path ("HKEY_CURRENT_USER\Software\X", ANSI) in creation
// order, each after its parent. Roots are implied, never stored.
struct RegTreeKey {
  std::string path;
  std::vector<RegValue> values;
};

class RegTree {
 public:
  // The canonical path of a key: a known root's full name and the
  // non-empty components; empty when the first component names no root.
  static std::string Canonical(const std::string& path);
  static bool IsRoot(const std::string& canonicalPath);
  static std::string Parent(const std::string& canonicalPath);
  // Compares ASCII letters without case; never folds a GBK trail byte.
  static bool SameName(const std::string& a, const std::string& b);

  bool Exists(const std::string& path) const;
  RegTreeKey* Find(const std::string& path);
  const RegTreeKey* Find(const std::string& path) const;
  // Makes the key and any missing parents; true when it was new.
  bool Create(const std::string& path);
  // The stored path of each direct subkey's last component, in order.
  std::vector<std::string> Children(const std::string& path) const;
  // Removes the key with everything below it.
  void RemoveTree(const std::string& path);
  bool HasChildren(const std::string& path) const;

  // The key's record; a root gets one when it first holds a value.
  RegTreeKey* Record(const std::string& path);
  static RegValue* FindValue(RegTreeKey* key, const std::string& name);

  // Applies REGEDIT4 text (ANSI): [key], [-key], "name"="text", @="text",
  // "name"=- and other-typed values kept as their text. Lines it does not
  // understand are skipped. False when the header is not "REGEDIT4".
  bool Apply(const std::string& text);
  // The REGEDIT4 text of the whole tree (ANSI).
  std::string Text() const;

  const std::vector<RegTreeKey>& keys() const { return keys_; }

  // Stored keys the lookups above have looked at, so that a test can bound
  // their work without a clock.
  size_t visits() const { return visits_; }

 private:
  void Add(const std::string& path);
  void Unlink(const std::string& path);
  void Compact();

  // A removed key keeps its slot, with an empty path (no key has one),
  // until Compact: slot numbers in the maps stay valid while Apply runs.
  std::vector<RegTreeKey> keys_;
  // By the folded path: the key's slot, and the slots of its direct
  // subkeys in creation order (for a root even when it has no record).
  std::unordered_map<std::string, size_t> slot_;
  std::unordered_map<std::string, std::vector<size_t>> children_;
  bool holes_ = false;
  mutable size_t visits_ = 0;
};

// Imports a REGEDIT4 file (ANSI text, as "regedit /s" reads it) into the
// sandbox registry. False when it cannot be read or is no REGEDIT4 file.
bool ImportRegFile(const std::string& path);

}  // namespace platform
