// The sandbox's shell links: a writer and reader of the Shell Link Binary
// File Format, so that links read back with any .lnk reader. A link holds
// the header, a LinkInfo with the target as a local path (ANSI and UTF-16)
// on a fixed drive, and the description, working directory and arguments
// as UTF-16 strings. There is no item ID list: nothing here resolves the
// target, and times, size and icon are left zero.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/posix/host_path.h"
#include "platform/posix/shell_link_bytes.h"
#include "platform/shell_link.h"

namespace platform {
namespace {

const uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
enum : uint32_t {
  kHeaderSize = 0x4C,
  kHasIdList = 0x1, kHasLinkInfo = 0x2, kHasName = 0x4, kHasRelativePath = 0x8,
  kHasWorkingDir = 0x10, kHasArguments = 0x20, kHasIconLocation = 0x40, kIsUnicode = 0x80,
  kVolumeIdAndLocalBasePath = 0x1,
  kLinkInfoHeaderSize = 0x24,  // with the UTF-16 path offsets
  kDriveFixed = 3, kShowNormal = 1,
};
// Text longer than a string's 16-bit count allows is refused.
const size_t kMaxText = 0x7FFF;

std::string CString0(const std::string& s) { return s.substr(0, s.find('\0')); }

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
    if (extra && i + extra >= s.size()) {
      out += u'\xFFFD';
      break;
    }
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
    else if (cp >= 0xD800 && cp < 0xE000)
      cp = 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::u16string Wide(const std::string& ansi) { return Utf8ToUtf16(AnsiToUtf8(ansi)); }

void Put16(std::string* out, uint32_t v) {
  *out += static_cast<char>(v & 0xFF);
  *out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutWide(std::string* out, const std::u16string& s) {
  for (char16_t c : s) Put16(out, c);
}

// Bounds-checked little-endian reads of outside bytes.
class Reader {
 public:
  explicit Reader(const std::string& b) : b_(b) {}
  bool Has(size_t at, size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  bool U16(size_t at, uint32_t* v) const {
    if (!Has(at, 2)) return false;
    *v = Byte(at) | Byte(at + 1) << 8;
    return true;
  }
  bool U32(size_t at, uint32_t* v) const {
    uint32_t lo, hi;
    if (!U16(at, &lo) || !U16(at + 2, &hi)) return false;
    *v = lo | hi << 16;
    return true;
  }
  // A zero-ended string within [at, end).
  bool Ansi(size_t at, size_t end, std::string* s) const {
    for (size_t i = at; i < end && i < b_.size(); ++i)
      if (b_[i] == '\0') {
        *s = b_.substr(at, i - at);
        return true;
      }
    return false;
  }
  bool WideZ(size_t at, size_t end, std::u16string* s) const {
    s->clear();
    for (uint32_t c; at + 2 <= end && U16(at, &c); at += 2) {
      if (c == 0) return true;
      *s += static_cast<char16_t>(c);
    }
    return false;
  }
  bool WideN(size_t at, size_t count, std::u16string* s) const {
    if (!Has(at, count * 2)) return false;
    s->clear();
    for (size_t i = 0; i < count; ++i) *s += static_cast<char16_t>(Byte(at + 2 * i) | Byte(at + 2 * i + 1) << 8);
    return true;
  }

 private:
  uint32_t Byte(size_t at) const { return static_cast<uint8_t>(b_[at]); }
  const std::string& b_;
};

}  // namespace

struct ShellLink::Impl {
  bool created = false;
  std::string target, description, arguments, workingDir;  // ANSI
};

ShellLink::ShellLink() : impl_(new Impl) {}
ShellLink::~ShellLink() = default;

LONG ShellLink::Create() {
  impl_->created = true;
  return kHrOk;
}

namespace {
LONG SetText(bool created, const std::string& in, std::string* field) {
  if (!created) return kHrFail;
  std::string text = CString0(in);
  if (text.size() > kMaxText) return kHrInvalidArg;
  *field = text;
  return kHrOk;
}
}  // namespace

LONG ShellLink::SetPath(const std::string& t) { return SetText(impl_->created, t, &impl_->target); }
LONG ShellLink::SetDescription(const std::string& t) {
  return SetText(impl_->created, t, &impl_->description);
}
LONG ShellLink::SetArguments(const std::string& t) {
  return SetText(impl_->created, t, &impl_->arguments);
}
LONG ShellLink::SetWorkingDirectory(const std::string& d) {
  return SetText(impl_->created, d, &impl_->workingDir);
}

LONG ShellLink::Save(const std::string& linkPath, LONG* saved) {
  if (saved) *saved = kHrFail;
  if (!impl_->created) return kHrFail;
  // As on Windows: the name must fit MAX_PATH UTF-16 units with its zero.
  if (Wide(CString0(linkPath)).size() + 1 > MAX_PATH) return kHrInvalidArg;
  const Impl& l = *impl_;

  uint32_t flags = kIsUnicode;
  if (!l.target.empty()) flags |= kHasLinkInfo;
  if (!l.description.empty()) flags |= kHasName;
  if (!l.workingDir.empty()) flags |= kHasWorkingDir;
  if (!l.arguments.empty()) flags |= kHasArguments;

  std::string out;
  Put32(&out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClsid), sizeof kLinkClsid);
  Put32(&out, flags);
  out.append(4 + 3 * 8 + 4 + 4, '\0');  // attributes, times, size, icon index
  Put32(&out, kShowNormal);
  out.append(2 + 2 + 4 + 4, '\0');  // hot key, reserved

  if (flags & kHasLinkInfo) {
    const uint32_t volumeSize = 0x11;  // the fixed fields and an empty label
    std::u16string wideTarget = Wide(l.target);
    uint32_t volume = kLinkInfoHeaderSize;
    uint32_t base = volume + volumeSize;
    uint32_t suffix = base + static_cast<uint32_t>(l.target.size()) + 1;
    uint32_t baseW = suffix + 1;
    uint32_t suffixW = baseW + static_cast<uint32_t>(wideTarget.size() + 1) * 2;
    uint32_t size = suffixW + 2;
    Put32(&out, size);
    Put32(&out, kLinkInfoHeaderSize);
    Put32(&out, kVolumeIdAndLocalBasePath);
    Put32(&out, volume);
    Put32(&out, base);
    Put32(&out, 0);  // no network location
    Put32(&out, suffix);
    Put32(&out, baseW);
    Put32(&out, suffixW);
    Put32(&out, volumeSize);
    Put32(&out, kDriveFixed);
    Put32(&out, 0);     // serial number
    Put32(&out, 0x10);  // label offset
    out += '\0';        // the label
    out += l.target;
    out += '\0';
    out += '\0';  // empty common path suffix
    PutWide(&out, wideTarget);
    Put16(&out, 0);
    Put16(&out, 0);
  }
  for (const std::string* s : {&l.description, &l.workingDir, &l.arguments}) {
    if (s->empty()) continue;
    std::u16string w = Wide(*s);
    if (w.size() > 0xFFFF) return kHrInvalidArg;
    Put16(&out, static_cast<uint32_t>(w.size()));
    PutWide(&out, w);
  }
  Put32(&out, 0);  // terminal block

  if (HostPath(linkPath).empty()) return kHrOk;
  // Saved as a package's files are written: never through a link.
  FileHandle f;
  int error = 0;
  if (!f.OpenLinkFree(linkPath, kAccessWrite, kShareExclusive, true, true, &error) ||
      !f.Write(out.data(), out.size()))
    return kHrOk;
  if (saved) *saved = kHrOk;
  return kHrOk;
}

bool ShellLink::Read(const std::string& linkPath, std::string* target, std::string* workingDir) {
  std::ifstream in(HostPath(linkPath), std::ios::binary);
  if (!in) return false;
  std::ostringstream buf;
  buf << in.rdbuf();
  return ParseShellLink(buf.str(), target, workingDir);
}

bool ParseShellLink(const std::string& bytes, std::string* target, std::string* workingDir) {
  Reader r(bytes);
  uint32_t headerSize, flags;
  if (!r.U32(0, &headerSize) || headerSize != kHeaderSize || !r.Has(0, kHeaderSize) ||
      std::memcmp(bytes.data() + 4, kLinkClsid, sizeof kLinkClsid) != 0 || !r.U32(20, &flags))
    return false;
  size_t at = kHeaderSize;
  if (flags & kHasIdList) {
    uint32_t n;
    if (!r.U16(at, &n)) return false;
    at += 2 + n;
  }
  std::string path;
  if (flags & kHasLinkInfo) {
    uint32_t size, infoHeader, infoFlags, base, suffix, baseW = 0, suffixW = 0;
    if (!r.U32(at, &size) || size < 0x1C || !r.Has(at, size) || !r.U32(at + 4, &infoHeader) ||
        !r.U32(at + 8, &infoFlags) || !r.U32(at + 16, &base) || !r.U32(at + 24, &suffix))
      return false;
    if (infoHeader >= 0x24 && (!r.U32(at + 28, &baseW) || !r.U32(at + 32, &suffixW))) return false;
    const size_t end = at + size;
    std::string ansiBase, ansiSuffix;
    std::u16string wideBase, wideSuffix;
    if (infoFlags & kVolumeIdAndLocalBasePath) {
      if (baseW && suffixW && r.WideZ(at + baseW, end, &wideBase) &&
          r.WideZ(at + suffixW, end, &wideSuffix)) {
        path = Utf8ToAnsi(Utf16ToUtf8(wideBase + wideSuffix));
      } else if (r.Ansi(at + base, end, &ansiBase) && r.Ansi(at + suffix, end, &ansiSuffix)) {
        path = ansiBase + ansiSuffix;
      } else {
        return false;
      }
    }
    at = end;
  }
  std::string dir;
  const uint32_t order[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                            kHasIconLocation};
  for (uint32_t f : order) {
    if (!(flags & f)) continue;
    uint32_t count;
    if (!r.U16(at, &count)) return false;
    std::string text;
    if (flags & kIsUnicode) {
      std::u16string w;
      if (!r.WideN(at + 2, count, &w)) return false;
      text = Utf8ToAnsi(Utf16ToUtf8(w));
      at += 2 + 2 * static_cast<size_t>(count);
    } else {
      if (!r.Has(at + 2, count)) return false;
      text = bytes.substr(at + 2, count);
      at += 2 + count;
    }
    if (f == kHasWorkingDir) dir = text;
  }
  if (target) *target = path;
  if (workingDir) *workingDir = dir;
  return true;
}

ComScope::ComScope() {}
ComScope::~ComScope() {}

}  // namespace platform
