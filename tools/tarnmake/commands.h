// The tarnmake commands. Every argument is ANSI text; each command returns
// the process's exit status (0 success, 1 failure) after telling any
// failure in one line on standard error.
#pragma once
#include <string>
#include <vector>

namespace tarnmake {

// Every warning of package and build fails them instead.
void SetStrict(bool strict);

// libdeflate's level when none is given: the fastest that still packs the
// benchmark corpus no larger than zip -6.
constexpr int kDefaultLibdeflateLevel = 5;

// The deflate ("zlib", "libdeflate" or "" for the build's default) and level
// (1-12, 0 for the default) of package and build. False, after an error
// line, when this build lacks the deflate asked for.
bool SetEncoding(const std::string& deflater, int level);

int CmdPackage(const std::string& script, const std::string& output);
int CmdInstaller(const std::string& shell, const std::string& ui, const std::string& package,
                 const std::string& output);
int CmdBuild(const std::string& script, const std::string& ui, const std::string& shell,
             const std::string& output);
// A setup script for every file under dirs (one tree: a relative path may
// come from one folder only), to output or, when empty, standard output;
// with ui, the UI script too.
struct ScriptOptions {
  std::vector<std::string> dirs;
  std::string output;
  std::string target;                  // "<TARGETDIR>" when empty
  std::vector<std::string> shortcuts;  // FILE=NAME, NAME below <TARGET_FOLDER> or a folder placeholder
  std::vector<std::string> regs;       // registry scripts imported at install
  std::vector<std::string> regLists;   // registry lists: what the uninstall removes
  std::vector<std::string> run;        // FILE [ARGS]: started after the install
  bool wait = false;                   // the program is waited for, then deleted
  std::string ui, product, installDir, programFolder, version, publisher, url, licence;
};
int CmdScript(const ScriptOptions& options);
int CmdList(const std::string& file, bool json);
int CmdExtract(const std::string& file, const std::string& dir);
int CmdVerify(const std::string& file);
// The Uninstall entry's optional values; empty ones come from an
// installer's UI script, as the setup shell reads them.
struct EntryDetails {
  std::string version, publisher, url;
};
int CmdInstall(const std::string& package, const std::string& target, const std::string& name,
               const std::string& uninstaller, const EntryDetails& details,
               const std::string& sandbox, bool json);
// The reference topic's text on standard output; without a topic, the list
// of topics. An unknown topic is a usage error (2), the list on stderr.
int CmdHelp(const std::string& topic);
int CmdUninstall(const std::string& log, const std::string& key, const std::string& sandbox,
                 bool json);

}  // namespace tarnmake
