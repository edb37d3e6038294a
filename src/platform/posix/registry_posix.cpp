// The sandbox registry: <root>/registry.reg, REGEDIT4 text in UTF-8, read
// and written on every call so that separate processes see one registry.
// Writes go to a temporary file renamed over the store; a lock file keeps
// processes, and a mutex threads, from losing each other's changes.
//
// Where the sandbox differs from Windows:
// - an open key is its full path: a key deleted and made again under an
//   open handle is the same key (Windows: ERROR_KEY_DELETED until reopened);
// - subkeys and values enumerate in creation order;
// - all seven roots exist and hold keys, none is special; a new store
//   starts with only HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall
//   and HKCU\Software;
// - values of other types than REG_SZ and REG_DWORD only come from
//   imported files; all are kept as their text; names and strings end at a
//   zero byte;
// - a key name with a line break is refused (ERROR_INVALID_PARAMETER);
// - names and strings that are not valid GBK come back with their bad
//   bytes replaced (the store is UTF-8).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <utility>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/posix/host_path.h"
#include "platform/posix/reg_tree.h"
#include "platform/registry.h"

namespace platform {
namespace {

enum : LONG { kInvalidHandle = 6, kInvalidName = 87, kIoFailed = 1016, kKeyDeleted = 1018 };

std::mutex g_lock;  // the store and the handle table
std::map<intptr_t, std::string> g_handles;
intptr_t g_nextHandle = 1;

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT",    "HKEY_CURRENT_USER",
                                  "HKEY_LOCAL_MACHINE",   "HKEY_USERS",
                                  "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                  "HKEY_DYN_DATA"};

// Root handles carry the root's value as Windows has it, sign-extended.
intptr_t RootHandle(DWORD root) { return static_cast<intptr_t>(static_cast<int32_t>(root)); }

// The key a handle stands for; empty for none. Called with g_lock held.
std::string PathOf(intptr_t h) {
  for (DWORD r = kRegClassesRoot; r <= kRegDynData; ++r)
    if (h == RootHandle(r)) return kRootNames[r - kRegClassesRoot];
  auto it = g_handles.find(h);
  return it == g_handles.end() ? std::string() : it->second;
}

std::string CString0(const std::string& s) { return s.substr(0, s.find('\0')); }

std::string StorePath() { return SandboxRoot() + "/registry.reg"; }

// Holds the store's lock file for the life of one operation.
class StoreLock {
 public:
  StoreLock() : fd_(::open((SandboxRoot() + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_;
};

// The store as this process last read or wrote it: the file's bytes and
// the tree they read as. Every call still reads the file, under the lock,
// as another process may have written it; only unchanged bytes skip the
// parse.
struct Store {
  bool known = false;
  std::string bytes;
  RegTree tree;
};
Store g_store;

// Writes g_store.tree to the file.
bool Save() {
  static int counter = 0;
  g_store.known = false;
  std::string tmp = StorePath() + "." + std::to_string(getpid()) + "." + std::to_string(counter++);
  std::string ansi = g_store.tree.Text();
  std::string text = AnsiToUtf8(ansi);
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), StorePath().c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  // The tree must be what the next call would read from the text. The
  // text drops bytes that are no GBK and roots left with no values; a tree
  // with neither reads back as itself.
  bool same = Utf8ToAnsi(text) == ansi;
  for (const RegTreeKey& k : g_store.tree.keys())
    if (k.values.empty() && RegTree::IsRoot(k.path)) same = false;
  if (!same) {
    RegTree read;
    read.Apply(Utf8ToAnsi(text));
    g_store.tree = std::move(read);
  }
  g_store.bytes = std::move(text);
  g_store.known = true;
  return true;
}

RegTree& Load() {
  std::ifstream in(StorePath(), std::ios::binary);
  if (!in) {
    // A new machine has these keys; an install makes its own below them and
    // an uninstall leaves them, as on Windows.
    g_store.tree = RegTree();
    for (const char* key : {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                            "HKEY_CURRENT_USER\\Software"})
      g_store.tree.Create(key);
    Save();
    return g_store.tree;
  }
  std::ostringstream read;
  read << in.rdbuf();
  std::string text = read.str();
  if (!g_store.known || text != g_store.bytes) {
    g_store.known = false;
    g_store.tree = RegTree();
    g_store.tree.Apply(Utf8ToAnsi(text));
    g_store.bytes = std::move(text);
    g_store.known = true;
  }
  return g_store.tree;
}

// Runs op on the store for the key of h: op(tree, keyPath, &changed).
template <typename Op>
LONG WithStore(intptr_t h, Op op) {
  std::lock_guard<std::mutex> l(g_lock);
  std::string key = PathOf(h);
  if (key.empty()) return kInvalidHandle;
  StoreLock lock;
  RegTree& tree = Load();
  if (!tree.Exists(key)) return kKeyDeleted;
  // Until the op is over: it changes the tree in place.
  const bool known = g_store.known;
  g_store.known = false;
  bool changed = false;
  LONG rc = op(tree, key, &changed);
  if (!changed)
    g_store.known = known;
  else if (!Save())
    return kIoFailed;
  return rc;
}

}  // namespace

bool ImportRegFile(const std::string& path) {
  std::ifstream in(HostPath(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<JournalEvent> events;
  {
    std::lock_guard<std::mutex> l(g_lock);
    StoreLock lock;
    const RegTree& before = Load();
    RegTree tree = before;
    if (!tree.Apply(text.str())) return false;
    // What the file made, as the registry calls would report it.
    for (const RegTreeKey& k : tree.keys()) {
      if (!before.Exists(k.path)) events.push_back({JournalKind::kRegKeyCreated, k.path, "", ""});
      const RegTreeKey* old = before.Find(k.path);
      for (const RegValue& v : k.values) {
        const RegValue* was = old ? RegTree::FindValue(const_cast<RegTreeKey*>(old), v.name) : nullptr;
        if (!was || was->data != v.data || was->isString != v.isString)
          events.push_back({JournalKind::kRegValueSet, k.path, v.name, v.data});
      }
    }
    g_store.tree = std::move(tree);
    if (!Save()) return false;
  }
  for (const JournalEvent& e : events) Journal(e.kind, e.path, e.detail, e.value);
  return true;
}


void RegKey::Close() {
  if (h_ && owned_) {
    std::lock_guard<std::mutex> l(g_lock);
    g_handles.erase(h_);
  }
  h_ = 0;
  owned_ = false;
  name_.clear();
}

LONG RegKey::Create(const RegKey& parent, const std::string& path) {
  Close();
  // A line break would end the key's line in the store.
  if (path.find('\n') != std::string::npos) return kInvalidName;
  std::string made;
  bool isNew = false;
  LONG rc = WithStore(parent.h_, [&](RegTree& tree, const std::string& key, bool* changed) {
    made = RegTree::Canonical(key + "\\" + CString0(path));
    isNew = *changed = tree.Create(made);
    return kRegOk;
  });
  if (rc != kRegOk) return rc;
  {
    std::lock_guard<std::mutex> l(g_lock);
    h_ = g_nextHandle++;
    g_handles[h_] = made;
  }
  owned_ = true;
  name_ = made;
  // Outside the lock, as a handler may call the registry.
  if (isNew) Journal(JournalKind::kRegKeyCreated, name_);
  return rc;
}

LONG RegKey::Open(const RegKey& parent, const std::string& path, DWORD) {
  Close();
  std::string found;
  LONG rc = WithStore(parent.h_, [&](RegTree& tree, const std::string& key, bool*) {
    found = RegTree::Canonical(key + "\\" + CString0(path));
    return tree.Exists(found) ? kRegOk : kRegNotFound;
  });
  if (rc != kRegOk) return rc;
  std::lock_guard<std::mutex> l(g_lock);
  h_ = g_nextHandle++;
  g_handles[h_] = found;
  owned_ = true;
  name_ = found;
  return rc;
}

LONG RegKey::SetString(const std::string& name, const std::string& value) {
  std::string n = CString0(name), v = CString0(value);
  LONG rc = WithStore(h_, [&](RegTree& tree, const std::string& key, bool* changed) -> LONG {
    RegTreeKey* k = tree.Record(key);
    if (!k) return kKeyDeleted;
    if (RegValue* old = RegTree::FindValue(k, n)) {
      old->data = v;
      old->isString = true;
    } else {
      k->values.push_back(RegValue{n, v, true});
    }
    *changed = true;
    return kRegOk;
  });
  if (rc == kRegOk) Journal(JournalKind::kRegValueSet, name_, name, value);
  return rc;
}

LONG RegKey::QueryString(const std::string& name, std::string* value) const {
  return WithStore(h_, [&](RegTree& tree, const std::string& key, bool*) {
    const RegValue* v = RegTree::FindValue(tree.Find(key), CString0(name));
    if (!v || !v->isString) return kRegNotFound;
    *value = v->data;
    return kRegOk;
  });
}

LONG RegKey::SetDword(const std::string& name, DWORD value) {
  const std::string n = CString0(name), text = DwordText(value);
  LONG rc = WithStore(h_, [&](RegTree& tree, const std::string& key, bool* changed) -> LONG {
    RegTreeKey* k = tree.Record(key);
    if (!k) return kKeyDeleted;
    if (RegValue* old = RegTree::FindValue(k, n)) {
      old->data = text;
      old->isString = false;
    } else {
      k->values.push_back(RegValue{n, text, false});
    }
    *changed = true;
    return kRegOk;
  });
  if (rc == kRegOk) Journal(JournalKind::kRegValueSet, name_, name, text);
  return rc;
}

LONG RegKey::QueryDword(const std::string& name, DWORD* value) const {
  return WithStore(h_, [&](RegTree& tree, const std::string& key, bool*) {
    const RegValue* v = RegTree::FindValue(tree.Find(key), CString0(name));
    if (!v || v->isString || !ParseDwordText(v->data, value)) return kRegNotFound;
    return kRegOk;
  });
}

LONG RegKey::EnumKey(DWORD index, std::string* name) const {
  return WithStore(h_, [&](RegTree& tree, const std::string& key, bool*) {
    std::vector<std::string> children = tree.Children(key);
    if (index >= children.size()) return kRegNoMoreItems;
    *name = children[index];
    return kRegOk;
  });
}

LONG RegKey::EnumValue(DWORD index, std::string* name) const {
  return WithStore(h_, [&](RegTree& tree, const std::string& key, bool*) {
    const RegTreeKey* k = tree.Find(key);
    if (!k || index >= k->values.size()) return kRegNoMoreItems;
    *name = k->values[index].name;
    return kRegOk;
  });
}

LONG RegKey::DeleteSubKey(const std::string& path) {
  return WithStore(h_, [&](RegTree& tree, const std::string& key, bool* changed) {
    std::string target = RegTree::Canonical(key + "\\" + CString0(path));
    if (RegTree::IsRoot(target)) return kRegAccessDenied;
    if (!tree.Exists(target)) return kRegNotFound;
    if (tree.HasChildren(target)) return kRegAccessDenied;
    tree.RemoveTree(target);
    *changed = true;
    return kRegOk;
  });
}

LONG RegKey::DeleteValue(const std::string& name) {
  return WithStore(h_, [&](RegTree& tree, const std::string& key, bool* changed) {
    RegTreeKey* k = tree.Find(key);
    std::string n = CString0(name);
    if (!RegTree::FindValue(k, n)) return kRegNotFound;
    for (auto it = k->values.begin(); it != k->values.end(); ++it)
      if (RegTree::SameName(it->name, n)) {
        k->values.erase(it);
        break;
      }
    *changed = true;
    return kRegOk;
  });
}

}  // namespace platform
