// The sandbox registry tree and its REGEDIT4 text. The text is read
// leniently: a damaged store or import file loses the lines it cannot
// parse, never the process.
#include "platform/posix/reg_tree.h"
#include <algorithm>
#include "platform/codepage.h"

namespace platform {
namespace {

const char* const kRoots[][2] = {
    {"HKEY_CLASSES_ROOT", "HKCR"},   {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},  {"HKEY_USERS", "HKU"},
    {"HKEY_PERFORMANCE_DATA", ""},   {"HKEY_CURRENT_CONFIG", "HKCC"},
    {"HKEY_DYN_DATA", "HKDD"},
};

bool Lead(const std::string& s, size_t i) {
  return IsLeadByte(static_cast<BYTE>(s[i])) && i + 1 < s.size();
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i < path.size(); ++i) {
    if (Lead(path, i)) {
      cur += path[i];
      cur += path[++i];
    } else if (path[i] == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += path[i];
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

// The name with ASCII letters in upper case, the trail bytes left as they
// are: equal for two names exactly when SameName is true.
std::string Fold(const std::string& s) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    if (Lead(out, i))
      ++i;
    else if (out[i] >= 'a' && out[i] <= 'z')
      out[i] -= 32;
  }
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// A quoted name or string from pos (at the opening quote); pos ends after
// the closing one. \\ and \" as regedit writes them, \r and \n as the store
// writes them; another escaped byte stands for itself.
bool ParseQuoted(const std::string& line, size_t* pos, std::string* out) {
  out->clear();
  size_t i = *pos + 1;
  while (i < line.size()) {
    char c = line[i];
    if (Lead(line, i)) {
      *out += c;
      *out += line[i + 1];
      i += 2;
    } else if (c == '\\') {
      if (i + 1 >= line.size()) return false;
      char n = line[i + 1];
      *out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
      i += 2;
    } else if (c == '"') {
      *pos = i + 1;
      return true;
    } else {
      *out += c;
      ++i;
    }
  }
  return false;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (Lead(s, i)) {
      out += c;
      out += s[++i];
    } else if (c == '\\' || c == '"' || IsLeadByte(static_cast<BYTE>(c))) {
      // A lead byte at the end would take the closing quote for its trail.
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string RegTree::Canonical(const std::string& path) {
  std::vector<std::string> parts = Split(path);
  if (parts.empty()) return std::string();
  std::string out;
  for (const auto& r : kRoots)
    if (SameName(parts[0], r[0]) || (*r[1] && SameName(parts[0], r[1]))) out = r[0];
  if (out.empty()) return out;
  for (size_t i = 1; i < parts.size(); ++i) out += "\\" + parts[i];
  return out;
}

bool RegTree::IsRoot(const std::string& path) {
  for (const auto& r : kRoots)
    if (path == r[0]) return true;
  return false;
}

std::string RegTree::Parent(const std::string& path) {
  size_t cut = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (Lead(path, i))
      ++i;
    else if (path[i] == '\\')
      cut = i;
  }
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool RegTree::SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lead(a, i)) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

const RegTreeKey* RegTree::Find(const std::string& path) const {
  auto it = slot_.find(Fold(path));
  if (it == slot_.end()) return nullptr;
  ++visits_;
  return &keys_[it->second];
}

RegTreeKey* RegTree::Find(const std::string& path) {
  return const_cast<RegTreeKey*>(static_cast<const RegTree*>(this)->Find(path));
}

bool RegTree::Exists(const std::string& path) const { return IsRoot(path) || Find(path); }

void RegTree::Add(const std::string& path) {
  slot_[Fold(path)] = keys_.size();
  children_[Fold(Parent(path))].push_back(keys_.size());
  keys_.push_back(RegTreeKey{path, {}});
}

bool RegTree::Create(const std::string& path) {
  if (path.empty() || Exists(path)) return false;
  std::string parent = Parent(path);
  if (!parent.empty() && !IsRoot(parent)) Create(parent);
  // The parent's stored case, the new component's own.
  const RegTreeKey* p = Find(parent);
  Add((p ? p->path : parent) + path.substr(parent.size()));
  return true;
}

std::vector<std::string> RegTree::Children(const std::string& path) const {
  std::vector<std::string> out;
  auto it = children_.find(Fold(path));
  if (it == children_.end()) return out;
  for (size_t slot : it->second) {
    ++visits_;
    out.push_back(keys_[slot].path.substr(path.size() + 1));
  }
  return out;
}

bool RegTree::HasChildren(const std::string& path) const {
  return children_.count(Fold(path)) != 0;
}

void RegTree::RemoveTree(const std::string& path) {
  Unlink(path);
  Compact();
}

// Everything whose path goes on from path at a separator: every key's
// parents are stored (but roots), so they are the subkeys' subkeys.
void RegTree::Unlink(const std::string& path) {
  const std::string folded = Fold(path);
  std::vector<size_t> doomed;
  auto self = slot_.find(folded);
  if (self != slot_.end()) {
    doomed.push_back(self->second);
    auto siblings = children_.find(Fold(Parent(keys_[self->second].path)));
    std::vector<size_t>& list = siblings->second;
    list.erase(std::lower_bound(list.begin(), list.end(), self->second));
    if (list.empty()) children_.erase(siblings);
  } else if (auto below = children_.find(folded); below != children_.end()) {
    // No record of its own: a root, or "" whose children are also the
    // keys that have no separator at all.
    std::vector<size_t>& list = below->second;
    auto kept = std::stable_partition(list.begin(), list.end(), [&](size_t slot) {
      return keys_[slot].path[path.size()] != '\\';
    });
    doomed.assign(kept, list.end());
    list.erase(kept, list.end());
    if (list.empty()) children_.erase(below);
  }
  // Each key's list of subkeys goes with it, so none is edited twice.
  for (size_t i = 0; i < doomed.size(); ++i) {
    RegTreeKey& key = keys_[doomed[i]];
    ++visits_;
    const std::string f = Fold(key.path);
    slot_.erase(f);
    auto below = children_.find(f);
    if (below != children_.end()) {
      doomed.insert(doomed.end(), below->second.begin(), below->second.end());
      children_.erase(below);
    }
    key.path.clear();
    key.values.clear();
    holes_ = true;
  }
}

void RegTree::Compact() {
  if (!holes_) return;
  holes_ = false;
  keys_.erase(std::remove_if(keys_.begin(), keys_.end(),
                             [](const RegTreeKey& k) { return k.path.empty(); }),
              keys_.end());
  slot_.clear();
  children_.clear();
  for (size_t i = 0; i < keys_.size(); ++i) {
    ++visits_;
    slot_[Fold(keys_[i].path)] = i;
    children_[Fold(Parent(keys_[i].path))].push_back(i);
  }
}

RegTreeKey* RegTree::Record(const std::string& path) {
  if (RegTreeKey* key = Find(path)) return key;
  if (!IsRoot(path)) return nullptr;
  Add(path);
  return &keys_.back();
}

RegValue* RegTree::FindValue(RegTreeKey* key, const std::string& name) {
  if (!key) return nullptr;
  for (RegValue& v : key->values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

bool RegTree::Apply(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t i = 0; i <= text.size();) {
    size_t nl = text.find('\n', i);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(i, nl - i);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    i = nl + 1;
  }
  size_t n = 0;
  while (n < lines.size() && Trim(lines[n]).empty()) ++n;
  if (n == lines.size() || Trim(lines[n]) != "REGEDIT4") return false;

  std::string current;
  for (++n; n < lines.size(); ++n) {
    std::string line = Trim(lines[n]);
    // No name holds a zero byte: the registry calls end names there.
    if (line.empty() || line[0] == ';' || line.find('\0') != std::string::npos) continue;
    if (line[0] == '[') {
      current.clear();
      if (line.back() != ']') continue;
      std::string inner = line.substr(1, line.size() - 2);
      bool remove = !inner.empty() && inner[0] == '-';
      std::string path = Canonical(remove ? inner.substr(1) : inner);
      if (path.empty()) continue;
      if (remove) {
        if (!IsRoot(path)) Unlink(path);
        continue;
      }
      Create(path);
      current = path;
      continue;
    }
    if (current.empty() || (line[0] != '"' && line[0] != '@')) continue;
    std::string name;
    size_t pos = 1;
    if (line[0] == '"' && !ParseQuoted(line, &(pos = 0), &name)) continue;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') continue;
    std::string rest = Trim(line.substr(pos + 1));
    // Hex data may go on over lines that end in "\".
    while (!rest.empty() && rest[0] != '"' && rest.back() == '\\') {
      rest.pop_back();
      if (n + 1 < lines.size()) rest += Trim(lines[++n]);
      rest = Trim(rest);
    }
    if (rest.find('\0') != std::string::npos) continue;
    RegValue value{name, std::string(), true};
    if (rest == "-") {
      RegTreeKey* key = Find(current);
      if (key)
        key->values.erase(std::remove_if(key->values.begin(), key->values.end(),
                                         [&](const RegValue& v) { return SameName(v.name, name); }),
                          key->values.end());
      continue;
    }
    if (!rest.empty() && rest[0] == '"') {
      size_t q = 0;
      if (!ParseQuoted(rest, &q, &value.data) || !Trim(rest.substr(q)).empty()) continue;
    } else {
      if (rest.empty()) continue;
      value.data = rest;
      value.isString = false;
    }
    RegTreeKey* key = Record(current);
    if (RegValue* old = FindValue(key, name)) {
      old->data = value.data;
      old->isString = value.isString;
    } else {
      key->values.push_back(value);
    }
  }
  Compact();
  return true;
}

std::string RegTree::Text() const {
  std::string out = "REGEDIT4\n";
  for (const RegTreeKey& k : keys_) {
    if (IsRoot(k.path) && k.values.empty()) continue;
    out += "\n[" + k.path + "]\n";
    for (const RegValue& v : k.values)
      out += (v.name.empty() ? std::string("@") : Quote(v.name)) + "=" +
             (v.isString ? Quote(v.data) : v.data) + "\n";
  }
  return out;
}

}  // namespace platform
