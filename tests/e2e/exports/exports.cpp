// Links against the setup shell's import library, not the core: CIniFile
// and CPacket, with CPacket's virtual table, come from the executable.
#include <windows.h>
#include <cstdio>
#include <string>
#include "inifile/ini_file.h"
#include "packet/packet.h"

namespace {

int failures = 0;
void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++failures;
  }
}

class BytesPacket : public CPacket {
 public:
  explicit BytesPacket(LPCSTR path) { m_strPacketFile = path; }
  std::string item = "exported packet item exported packet item exported packet item";
  std::string read;
  int MakePacket() override { return WritePacket(); }
  int WriteIndexInfo(CFile& f) override { return f.Write("idx", 3); }
  int WriteDataInfo(CFile& f) override {
    DWORD stored = WriteEncode(f, reinterpret_cast<const BYTE*>(item.data()), static_cast<DWORD>(item.size()));
    m_dwaDataSize.Add(stored);
    return stored != 0;
  }
  int ReadIndexInfo(CFile&) override { return TRUE; }
  int ReadDataInfo(CFile& f) override {
    char buf[4096];
    size_t n = f.Read(buf, sizeof buf);
    read.assign(buf, n);
    return TRUE;
  }
};

// Wine fixes up a module only when it is a DLL: an executable loaded for
// its exports is moved without its relocations applied and keeps its import
// table unbound (Windows does both). Do it here as the loader would, so the
// test runs on both; on Windows there is nothing left to do.
void Relocate(BYTE* base, IMAGE_NT_HEADERS* nt) {
  const uintptr_t delta = reinterpret_cast<uintptr_t>(base) - nt->OptionalHeader.ImageBase;
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
  if (!delta || !dir.VirtualAddress) return;
  DWORD old = 0;
  VirtualProtect(base, nt->OptionalHeader.SizeOfImage, PAGE_EXECUTE_READWRITE, &old);
  for (DWORD done = 0; done < dir.Size;) {
    auto* block = reinterpret_cast<IMAGE_BASE_RELOCATION*>(base + dir.VirtualAddress + done);
    if (block->SizeOfBlock < sizeof *block) break;
    auto* entry = reinterpret_cast<WORD*>(block + 1);
    for (DWORD i = 0; i < (block->SizeOfBlock - sizeof *block) / sizeof(WORD); ++i) {
      if ((entry[i] >> 12) == IMAGE_REL_BASED_HIGHLOW)
        *reinterpret_cast<DWORD*>(base + block->VirtualAddress + (entry[i] & 0xFFF)) += static_cast<DWORD>(delta);
    }
    done += block->SizeOfBlock;
  }
  nt->OptionalHeader.ImageBase = reinterpret_cast<uintptr_t>(base);
}

bool BindImports(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return true;
  // A loader that did its work left addresses, not name offsets, in the
  // import slots; then the image is relocated too.
  auto* first = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
  if (first->Name && reinterpret_cast<IMAGE_THUNK_DATA*>(base + first->FirstThunk)->u1.Function >=
                         nt->OptionalHeader.SizeOfImage)
    return true;
  Relocate(base, nt);
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    HMODULE lib = LoadLibraryA(reinterpret_cast<char*>(base + d->Name));
    if (!lib) return false;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      FARPROC fn = IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                       ? GetProcAddress(lib, MAKEINTRESOURCEA(IMAGE_ORDINAL(names->u1.Ordinal)))
                       : GetProcAddress(lib, reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      if (!fn) return false;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<DWORD_PTR>(fn);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  HMODULE shell = GetModuleHandleA("TarnSetupShell.exe");
  if (!shell || !BindImports(shell)) {
    std::printf("exports: the shell's imports cannot be bound\n");
    return 1;
  }
  std::string dir = argc > 1 ? argv[1] : ".";
  std::string ini = dir + "\\exports.ini", pkt = dir + "\\exports.pkt";

  CIniFile file(ini.c_str());
  CStringArray lines;
  lines.Add("first line");
  lines.Add("名称=值");
  Check(file.WriteSection("EXPORTED", lines) != FALSE, "CIniFile::WriteSection");
  CStringArray back;
  Check(file.FindSection("exported", back) && back.GetSize() == 2 && back[1] == "名称=值",
        "CIniFile::FindSection reads back the section");
  CString params("-U|Tarn 演示|C:\\x\\Unistall.tsu");
  Check(CIniFile::GetFirstParam(params, nullptr, '|') == "-U" && params == "Tarn 演示|C:\\x\\Unistall.tsu",
        "CIniFile::GetFirstParam");

  {
    BytesPacket out(pkt.c_str());
    out.SetPassword("secret");
    Check(out.MakePacket() != FALSE, "CPacket::WritePacket");
  }
  BytesPacket in(pkt.c_str());
  Check(in.ReadPacket() != FALSE, "CPacket::ReadPacket");
  CString password;
  in.GetPassword(password);
  Check(password == "secret", "CPacket password round trip");
  Check(!in.read.empty(), "CPacket data block read");

  std::printf("%s\n", failures ? "exports: failed" : "exports: ok");
  return failures ? 1 : 0;
}
