// package, installer and build: what a publisher makes.
#include <zlib.h>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include "commands.h"
#include "engine/setup_package.h"
#include "host.h"
#include "inifile/ini_file.h"
#include "payload/trailer.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "reader.h"
#include "report.h"
#include "text.h"
#include "engine/target_path.h"
#include "lint.h"

namespace tarnmake {
namespace {

// The part of an ANSI path before its last separator ("" when none).
std::string DirName(const std::string& path) {
  CString p(path);
  int cut = std::max(p.ReverseFind('\\'), p.ReverseFind('/'));
  if (cut < 0) return std::string();
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, static_cast<size_t>(cut));
}

bool Readable(const std::string& path, std::string* error) {
  std::string problem = host::InputProblem(path);
  if (problem.empty()) return true;
  *error = "'" + path + "': " + problem;
  return false;
}

// The output is replaced by a rename: only a file may be replaced that way.
bool Replaceable(const std::string& output) {
  host::PathKind kind = host::Classify(output, true);
  if (kind == host::PathKind::kMissing || kind == host::PathKind::kFile) return true;
  Error("the output '" + output + "' " +
        (kind == host::PathKind::kFolder ? "is a folder" : "is not a regular file") +
        "; it must be a file or a new name");
  return false;
}

// SOURCE_DATE_EPOCH: no stored file time is later than it, so that builds of
// one tree from different checkouts give the same bytes. Unset or empty: no
// ceiling; anything but decimal seconds a stored time can hold is refused
// rather than guessed at or cut.
bool TimeCeiling(int64_t* ceiling) {
  *ceiling = -1;
  const char* env = std::getenv("SOURCE_DATE_EPOCH");
  if (!env || !*env) return true;
  std::string v(env);
  if (v.size() > 18 || v.find_first_not_of("0123456789") != std::string::npos ||
      std::stoll(v) > 0xFFFFFFFFLL) {
    Error("SOURCE_DATE_EPOCH '" + v + "' is not a number of seconds from 0 to 4294967295");
    return false;
  }
  *ceiling = std::stoll(v);
  return true;
}

// Removes a file it names at the end unless kept, on Ctrl+C too.
class TempFile {
 public:
  explicit TempFile(std::string path) : path_(std::move(path)) {
    if (!path_.empty()) host::RemoveOnStop(path_);
  }
  ~TempFile() {
    if (path_.empty()) return;
    platform::RemoveFile(path_);
    host::ForgetOnStop(path_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() {
    host::ForgetOnStop(path_);
    path_.clear();
  }

 private:
  std::string path_;
};

// A script as the engine reads it: the file itself, or for one marked as
// UTF-8 its GBK form in a temporary file (the engine reads only GBK).
class ScriptInput {
 public:
  // False after an error line.
  bool Open(const std::string& path, const char* what) {
    path_ = path;
    CFile f;
    if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) {
      Error("cannot open the " + std::string(what) + " '" + path + "'");
      return false;
    }
    char mark[3] = {};
    if (f.Read(mark, 3) != 3 || !HasUtf8Mark(std::string(mark, 3))) return true;
    uint64_t length = f.GetLength();
    std::string bytes(static_cast<size_t>(length), '\0');
    f.Seek(0, CFile::begin);
    if (f.Read(&bytes[0], bytes.size()) != bytes.size() || f.IsFailed()) {
      Error("cannot read the " + std::string(what) + " '" + path + "'");
      return false;
    }
    std::string ansi;
    int bad = 0;
    if (!ScriptToAnsi(bytes, &ansi, &bad)) {
      Error("the " + std::string(what) + " '" + path + "' begins with a UTF-8 mark, but line " +
            std::to_string(bad) + " is not UTF-8");
      return false;
    }
    temp_.reset(new TempFile(host::NewTempFile(std::string())));
    CFile out;
    if (temp_->path().empty() ||
        !out.Open(temp_->path().c_str(), CFile::modeCreate | CFile::modeWrite) ||
        !out.Write(ansi.data(), ansi.size()) || out.IsFailed()) {
      Error("cannot write a temporary file for the " + std::string(what) + " '" + path + "'");
      return false;
    }
    out.Close();
    if (out.IsFailed()) {
      Error("cannot write a temporary file for the " + std::string(what) + " '" + path + "'");
      return false;
    }
    path_ = temp_->path();
    return true;
  }
  // What the engine is to read.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<TempFile> temp_;
};

// The data block as the engine writes it, passed through to the packet file;
// each write moves the bar.
class WatchedFile : public CFile {
 public:
  WatchedFile(CFile& base, std::function<void()> wrote) : base_(base), wrote_(std::move(wrote)) {}
  bool IsOpen() const override { return base_.IsOpen(); }
  size_t Read(void* buf, size_t count) override {
    size_t n = base_.Read(buf, count);
    if (base_.IsFailed()) failed_ = true;
    return n;
  }
  BOOL Write(const void* buf, size_t count) override {
    BOOL ok = base_.Write(buf, count);
    if (!ok || base_.IsFailed()) failed_ = true;
    written_ += count;
    wrote_();
    return ok;
  }
  int64_t Seek(int64_t offset, UINT from) override { return base_.Seek(offset, from); }
  uint64_t GetLength() const override { return base_.GetLength(); }
  uint64_t GetPosition() const override { return base_.GetPosition(); }
  BOOL SetLength(uint64_t length) override { return base_.SetLength(length); }
  void Close() override {}
  uint64_t written() const { return written_; }

 private:
  CFile& base_;
  std::function<void()> wrote_;
  uint64_t written_ = 0;
};

// The package being built, with the tool's eyes on it: the index is looked
// over before any data is written, and the data block's progress is shown.
class Builder : public CSetupPackage {
 public:
  // ceiling: the latest file time stored, or -1 for none.
  Builder(const std::string& output, const std::string& script, int64_t ceiling)
      : CSetupPackage(output.c_str(), "", script.c_str(), nullptr), ceiling_(ceiling) {}
  bool refused() const { return refused_; }
  size_t entries() const { return static_cast<size_t>(m_arrIndex.GetSize()); }

 protected:
  int WriteDataInfo(CFile& data) override {
    if (!LookOver()) {
      refused_ = true;
      return FALSE;
    }
    Progress bar("packing", total_);
    // Items finish in index order; each adds its source size. Bytes of the
    // item under way count up to its size.
    size_t done = 0;
    uint64_t doneBytes = 0, shown = 0, itemStart = 0;
    WatchedFile* watched = nullptr;
    WatchedFile file(data, [&] {
      size_t finished = static_cast<size_t>(m_dwaDataSize.GetSize());
      while (done < finished && done < sizes_.size()) {
        doneBytes += sizes_[done++];
        itemStart = watched->written();
      }
      uint64_t partial = watched->written() - itemStart;
      if (done < sizes_.size()) partial = std::min(partial, sizes_[done]);
      uint64_t now = doneBytes + partial;
      if (now > shown) {
        bar.Advance(now - shown);
        shown = now;
      }
    });
    watched = &file;
    int ok = CSetupPackage::WriteDataInfo(file);
    // The index is written after the data, so the times can still change.
    if (ceiling_ >= 0) {
      DWORD top = static_cast<DWORD>(std::min<int64_t>(ceiling_, 0xFFFFFFFF));
      for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
        TSPIndex& r = *m_arrIndex[i];
        for (DWORD* t : {&r.m_tCreate, &r.m_tModify, &r.m_tAccess}) *t = std::min(*t, top);
      }
    }
    return ok;
  }

 private:
  // Refuses what would stop the installer at this entry; warns of what
  // would quietly do nothing.
  bool LookOver() {
    static const char* const kDirs[] = {"<TARGETDIR>", "<WINSYSDIR>", "<WINDIR>", "<SETUPDIR>"};
    auto known = [](const CString& path, const char* const* names, size_t n) {
      int slash = path.Find('\\');
      if (slash < 0) return false;
      CString head = path.Left(slash);
      for (size_t i = 0; i < n; ++i)
        if (head.CompareNoCase(names[i]) == 0) return true;
      return false;
    };
    bool ok = true;
    for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
      const TSPIndex& r = *m_arrIndex[i];
      std::string which = "FILEINFO #" + std::to_string(i + 1);
      if (!known(r.m_strTargetPath, kDirs, 4)) {
        Error(which + ": TARGET_PATH '" + r.m_strTargetPath.str() +
              "' must begin with <TARGETDIR>\\, <WINSYSDIR>\\, <WINDIR>\\ or <SETUPDIR>\\");
        ok = false;
      } else {
        std::vector<std::string> parts;
        std::string why = TargetPathProblem(r.m_strTargetPath.str(), &parts);
        if (!why.empty()) {
          Error(which + ": TARGET_PATH '" + r.m_strTargetPath.str() +
                "' cannot be installed: " + why);
          ok = false;
        }
      }
      if (r.m_byInstallFlag & IF_NO_DATA) continue;
      std::string problem = host::InputProblem(r.m_strSourcePath.str());
      if (!problem.empty()) {
        Error(which + ": SOURCE_PATH '" + r.m_strSourcePath.str() + "': " + problem);
        ok = false;
        continue;
      }
      platform::FileInfo info;
      uint64_t size = platform::GetFileInfo(r.m_strSourcePath.str(), &info) && info.size > 0
                          ? static_cast<uint64_t>(info.size)
                          : 0;
      sizes_.push_back(size);
      total_ += size;
    }
    if (m_arrIndex.GetSize() == 0) {
      if (Strict()) {
        Error("the setup script has no FILEINFO section");
        ok = false;
      } else {
        Note("warning: the setup script has no FILEINFO section");
      }
    }
    return ok;
  }

  int64_t ceiling_;
  bool refused_ = false;
  uint64_t total_ = 0;
  std::vector<uint64_t> sizes_;  // of the sources with data, in index order
};

// Whether deflating the package is worth its time: its items are compressed
// already, so a whole-package stream rarely saves anything. The first 8 MB
// decide; they must shrink by at least 1%.
bool PackageShrinks(CFile& package) {
  const size_t kChunk = 1 << 20;
  const uint64_t kTrial = 8u << 20;
  if (CSetupPackage::EncodeOptions().deflater == packet::Deflater::kLibdeflate) {
    // libdeflate's fastest level answers as well in a tenth of the time.
    std::vector<BYTE> in(static_cast<size_t>(std::min<uint64_t>(kTrial, package.GetLength()))), z;
    package.Seek(0, CFile::begin);
    size_t got = package.Read(in.data(), in.size());
    package.Seek(0, CFile::begin);
    return packet::CompressItem(in.data(), got, &z, {packet::Deflater::kLibdeflate, 1}) &&
           z.size() < got - got / 100;
  }
  std::vector<BYTE> in(kChunk), out(kChunk);
  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
  uint64_t read = 0;
  int rc = Z_OK;
  package.Seek(0, CFile::begin);
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && read < kTrial) {
      size_t got = package.Read(in.data(), kChunk);
      read += got;
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(got);
      if (got < kChunk) read = kTrial;
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = deflate(&z, z.avail_in == 0 && read >= kTrial ? Z_FINISH : Z_NO_FLUSH);
    if (rc == Z_STREAM_ERROR) break;
  }
  bool shrinks = rc == Z_STREAM_END && z.total_out < z.total_in - z.total_in / 100;
  deflateEnd(&z);
  package.Seek(0, CFile::begin);
  return shrinks;
}

// Writes the installer to `output` (through a temp file beside it, so a
// failure leaves any earlier installer as it was).
bool WriteInstaller(const std::string& shell, const std::string& ui, const std::string& package,
                    const std::string& output) {
  std::string error;
  if (!Readable(shell, &error) || !Readable(ui, &error) || !Readable(package, &error)) {
    Error(error);
    return false;
  }
  for (const std::string* in : {&shell, &ui, &package}) {
    if (host::SamePath(*in, output)) {
      Error("the output '" + output + "' is also an input");
      return false;
    }
  }
  {
    Container c;
    if (!c.Open(package, &error)) {
      Error(package + ": " + error);
      return false;
    }
    if (c.kind() != Kind::kPackage) {
      Error(package + ": is a " + KindName(c.kind()) + ", not a setup package");
      return false;
    }
  }
  // The shell reads its UI script as GBK: the blob is the converted one.
  ScriptInput uiText;
  if (!uiText.Open(ui, "UI script")) return false;
  CFile shellFile, uiFile, packageFile;
  shellFile.Open(shell.c_str(), CFile::modeRead | CFile::shareDenyWrite);
  uiFile.Open(uiText.path().c_str(), CFile::modeRead | CFile::shareDenyWrite);
  packageFile.Open(package.c_str(), CFile::modeRead | CFile::shareDenyWrite);
  uint64_t uiLength = uiFile.GetLength(), packageLength = packageFile.GetLength();
  if (payload::ReadTrailer(shellFile).status != payload::kTrailerMissing)
    Note("warning: the shell '" + shell + "' already carries a payload");
  shellFile.Seek(0, CFile::begin);

  std::string dir = DirName(host::AbsolutePath(output));
  TempFile temp(host::NewTempFile(dir));
  CFile out;
  if (temp.path().empty() ||
      !out.Open(temp.path().c_str(), CFile::modeReadWrite | CFile::modeCreate)) {
    Error("cannot create a file in '" + dir + "'");
    return false;
  }
  std::vector<BYTE> buf(1 << 20);
  for (;;) {
    size_t got = shellFile.Read(buf.data(), buf.size());
    if (got == 0) break;
    if (!out.Write(buf.data(), got)) break;
  }
  bool ok = !shellFile.IsFailed() && !out.IsFailed();
  if (ok) {
    bool compress = PackageShrinks(packageFile);
    Progress bar(compress ? "compressing" : "appending", packageLength + uiLength);
    uint64_t last = 0;
    payload::WriteStatus status = payload::AppendPayload(
        out, packageFile, compress, uiFile, true, nullptr, [&](uint64_t done, uint64_t) {
          if (done < last) last = 0;  // the next blob
          bar.Advance(done - last);
          last = done;
        });
    bar.Finish();
    if (status != payload::kWriteOk) {
      out.Close();
      Error("cannot write the installer '" + output + "': " + payload::WriteStatusText(status));
      return false;
    }
  }
  out.Close();
  if (!ok) {
    Error("cannot write the installer '" + output + "'");
    return false;
  }
  if (!host::RenameFile(temp.path(), output)) {
    Error("cannot write the installer '" + output + "'");
    return false;
  }
  temp.Keep();
  return true;
}

// Builds the package from script into output.
bool MakePackage(const std::string& script, const std::string& output, size_t* entries) {
  int64_t ceiling;
  if (!TimeCeiling(&ceiling)) return false;
  std::string error;
  if (!Readable(script, &error)) {
    Error(error);
    return false;
  }
  std::string absScript = host::AbsolutePath(script);
  std::string absOutput = host::AbsolutePath(output);
  if (absScript.empty() || absOutput.empty()) {
    Error("cannot resolve the paths of the script and the output");
    return false;
  }
  if (host::SamePath(absScript, absOutput)) {
    Error("the output '" + output + "' is the setup script");
    return false;
  }
  ScriptInput text;
  if (!text.Open(absScript, "setup script")) return false;
  if (!LintSetupScript(script, absScript)) return false;
  // Written beside the output and moved over it only when whole.
  TempFile temp(host::NewTempFile(DirName(absOutput)));
  if (temp.path().empty()) {
    Error("cannot create a file in '" + DirName(absOutput) + "'");
    return false;
  }
  // SOURCE_PATH values are relative to the script's folder: the engine
  // opens them as given, so the build runs from there.
  std::string back = host::AbsolutePath(".");
  std::string scriptDir = DirName(absScript);
  if (!host::ChangeDirectory(scriptDir)) {
    Error("cannot enter the script's folder '" + scriptDir + "'");
    return false;
  }
  BoxToStderr boxes;
  bool ok;
  {
    Builder builder(temp.path(), text.path(), ceiling);
    // The install folders it looks up on construction do not matter here.
    const size_t before = boxes.failures();
    ok = builder.MakePacket() && !builder.refused();
    // A failed step but a written packet means something was skipped or
    // lost (a section after a format error, say).
    if (boxes.failures() != before) ok = false;
    *entries = builder.entries();
  }
  host::ChangeDirectory(back);
  if (!ok) {
    // The cause has been told already, as a rule; say something otherwise.
    if (ProblemLines() == 0) Error("the package '" + output + "' was not written");
    return false;
  }
  boxes.Summary();
  if (!host::RenameFile(temp.path(), absOutput)) {
    Error("cannot write the package '" + output + "'");
    return false;
  }
  temp.Keep();
  return true;
}

}  // namespace

bool SetEncoding(const std::string& deflater, int level) {
  packet::EncodeOptions o;
  bool libdeflate = deflater.empty() ? packet::HaveLibdeflate() : deflater == "libdeflate";
  if (libdeflate && !packet::HaveLibdeflate()) {
    Error("this tarnmake is built without libdeflate; use --deflate zlib");
    return false;
  }
  o.deflater = libdeflate ? packet::Deflater::kLibdeflate : packet::Deflater::kZlib;
  o.level = level > 0 ? level : libdeflate ? kDefaultLibdeflateLevel : 6;
  CSetupPackage::SetEncodeOptions(o);
  return true;
}

int CmdPackage(const std::string& script, const std::string& output) {
  if (!Replaceable(output)) return 1;
  size_t entries = 0;
  if (!MakePackage(script, output, &entries)) return 1;
  Say("package '" + output + "': " + std::to_string(entries) + " entries");
  return 0;
}

int CmdInstaller(const std::string& shell, const std::string& ui, const std::string& package,
                 const std::string& output) {
  if (!Replaceable(output)) return 1;
  std::string error;
  if (Readable(ui, &error) && !LintUIScript(ui, ui)) return 1;
  if (!WriteInstaller(shell, ui, package, output)) return 1;
  Say("installer '" + output + "' written");
  return 0;
}

int CmdBuild(const std::string& script, const std::string& ui, const std::string& shell,
             const std::string& output) {
  if (!Replaceable(output)) return 1;
  // Both scripts are looked over before anything is written, and every
  // mistake of both is told.
  std::string error;
  if (!Readable(ui, &error)) {
    Error(error);
    return 1;
  }
  if (!LintUIScript(ui, ui)) {
    if (Readable(script, &error)) LintSetupScript(script, script);
    return 1;
  }
  std::string absOutput = host::AbsolutePath(output);
  TempFile package(host::NewTempFile(DirName(absOutput)));
  if (package.path().empty()) {
    Error("cannot create a file beside '" + output + "'");
    return 1;
  }
  size_t entries = 0;
  if (!MakePackage(script, package.path(), &entries)) return 1;
  if (!WriteInstaller(shell, ui, package.path(), output)) return 1;
  Say("installer '" + output + "': " + std::to_string(entries) + " entries");
  return 0;
}

}  // namespace tarnmake
