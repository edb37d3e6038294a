// Arbitrary bytes as an INI text file. The first line names the section to
// look for; the lines after it are written back as that section's body.
#include <sys/stat.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "afx/file.h"
#include "inifile/ini_file.h"
#include "platform/fs.h"
#include "platform/msgbox.h"
#include "ram_dir.h"

namespace {

std::string g_root;
const char kPath[] = "C:\\fuzz\\in.ini";

class FuzzIni : public CIniFile {
 public:
  FuzzIni() : CIniFile(kPath) {}
  using CIniFile::ReadSection;
  using CIniFile::WriteSection;
};

void Cleanup() {
  std::remove((g_root + "/C/fuzz/in.ini").c_str());
  rmdir((g_root + "/C/fuzz").c_str());
  rmdir((g_root + "/C").c_str());
  rmdir(g_root.c_str());
}

void Setup() {
  g_root = RamDir("fuzz_ini");
  mkdir((g_root + "/C").c_str(), 0700);
  mkdir((g_root + "/C/fuzz").c_str(), 0700);
  platform::SetSandboxRoot(g_root);
  platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return IDOK; });
  std::atexit(Cleanup);
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool WriteInput(const uint8_t* data, size_t size) {
  CFile f;
  if (!f.Open(kPath, CFile::modeCreate | CFile::modeWrite)) return false;
  return f.Write(data, size) != FALSE;
}

// Lines as the parser splits them: at LF, a CR before it dropped.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    size_t nl = text.find('\n', i);
    std::string line = text.substr(i, nl == std::string::npos ? std::string::npos : nl - i);
    if (nl != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    if (nl == std::string::npos) break;
    i = nl + 1;
  }
  return out;
}

bool WritesBack(const CStringArray& lines) {
  for (int i = 0; i < lines.GetSize(); ++i) {
    const std::string& l = lines[i].str();
    if (l.empty() || l[0] == '[' || l[0] == ';' || l.find_first_of("\r\n") != std::string::npos)
      return false;
  }
  return true;
}

bool Same(const CStringArray& a, const CStringArray& b) {
  if (a.GetSize() != b.GetSize()) return false;
  for (int i = 0; i < a.GetSize(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> all = SplitLines(text);
  // The name stops at a zero byte, as a C string would.
  std::string name = all.empty() ? std::string() : all[0].substr(0, all[0].find('\0'));
  // The lines after it as a body: as they are, and only those that the
  // readers give back unchanged.
  CStringArray body, plain;
  for (size_t i = 1; i < all.size() && i <= 64; ++i) {
    body.Add(CString(all[i]));
    CStringArray one;
    one.Add(CString(all[i]));
    if (WritesBack(one)) plain.Add(CString(all[i]));
  }
  // How often the untrimmed header of that name occurs in the text.
  const CString target = CString("[") + name.c_str() + "]";
  int occurrences = 0;
  for (const std::string& l : all)
    if (CString(l).CompareNoCase(target) == 0) ++occurrences;

  if (!WriteInput(data, size)) return 0;
  FuzzIni ini;
  stuSectionHandle* h = ini.OpenSectionHandle();
  Check(h != nullptr);
  CString section;
  CStringArray lines;
  size_t sections = 0;
  while (ini.ReadSection(h, section, lines)) Check(++sections <= size);
  ini.CloseSectionHandle(h);

  ini.FindSection(name.c_str(), lines);
  ini.ReadRawSection(name.c_str(), lines);
  ini.ReadString(name.c_str(), "k", "d");
  ini.ReadSections(lines);

  // Text in memory: lookups, then the same round trip as on disk.
  CMemFile mem(data, size);
  ini.ReadString(mem, name.c_str(), "k", "d");
  ini.ReadSection(mem, name.c_str(), lines);
  Check(ini.WriteSection(mem, name.c_str(), body));
  if (WritesBack(body) && occurrences <= 1) {
    Check(ini.ReadSection(mem, name.c_str(), lines) == (body.GetSize() > 0));
    Check(Same(lines, body) || body.GetSize() == 0);
  }

  // The writer replaces the last section of the name, the finder reads the
  // first: they meet when there is at most one.
  Check(ini.WriteSection(name.c_str(), plain));
  if (occurrences <= 1) {
    lines.RemoveAll();
    BOOL found = ini.FindSection(name.c_str(), lines);
    Check(found == (plain.GetSize() > 0));
    Check(Same(lines, plain) || plain.GetSize() == 0);
  }
  return 0;
}
