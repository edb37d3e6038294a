// How the lint tells what it found, and the helpers its checks share.
#pragma once
#include <string>
#include <vector>

namespace tarnmake {
namespace lint {

class Findings {
 public:
  explicit Findings(std::string file) : file_(std::move(file)) {}
  // line 0: the file as a whole.
  void Error(int line, const std::string& ansiText);
  void Warn(int line, const std::string& ansiText);
  // An error, or with --lax a warning.
  void Unknown(int line, const std::string& ansiText);
  bool ok() const { return errors_ == 0; }

 private:
  std::string Where(int line) const;
  std::string file_;
  int errors_ = 0;
};

// The known name nearest to `name` (letters without case), or "" when none
// is near enough to be a slip of the keys.
std::string Nearest(const std::string& name, const std::vector<std::string>& known);
// " (did you mean X?)" for the nearest known name, or "".
std::string DidYouMean(const std::string& name, const std::vector<std::string>& known);

// Lines of a text without their CR LF or LF ends, as the readers take them.
std::vector<std::string> Lines(const std::string& text);

// Why a script value that names a path Windows will write cannot be used,
// or "": `head` is the placeholder (known already), `rest` what follows its
// "\". targetDir: the placeholder is <TARGETDIR>, where the uninstall log is.
std::string PathFault(const std::string& head, const std::string& rest, bool targetDir);
// The spelling Windows compares: placeholder in capitals, one "\" between
// components, "." and ".." applied, letters without case.
std::string ComparedPath(const std::string& head, const std::string& rest);
// The same, keeping the case of the letters.
std::string SpelledPath(const std::string& head, const std::string& rest);

}  // namespace lint
}  // namespace tarnmake
