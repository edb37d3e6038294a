// What tarnmake needs of the machine it runs on and that the platform layer
// does not offer: the console, the current directory, host temp files. All
// paths are ANSI (the code base's text), like everything handed to tarncore.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace host {

// Sets up the console for UTF-8 output.
void InitConsole();
// The command line as UTF-8, whatever the system's code page (Linux hands
// us UTF-8; Windows is asked for its UTF-16 one).
std::vector<std::string> Arguments(int argc, char** argv);
// A command-line argument as ANSI text: a character GBK lacks becomes its
// four-byte sequence.
std::string ArgToAnsi(const std::string& arg);
// Whether ArgToAnsi keeps every character of arg: false only for bytes that
// are not UTF-8.
bool ArgFitsAnsi(const std::string& arg);
bool IsTerminal(std::FILE* stream);
// Standard output passes bytes as they are (Windows would make "\r\n" of
// each "\n").
void BinaryStdout();
// Columns of the terminal behind stream, or 80.
int TerminalWidth(std::FILE* stream);

// An absolute form of path against the current directory; empty on failure.
std::string AbsolutePath(const std::string& path);
bool ChangeDirectory(const std::string& dir);
// Moves from over to, replacing to.
bool RenameFile(const std::string& from, const std::string& to);
// The same file system entry by absolute path (case-insensitive where the
// host's names are).
bool SamePath(const std::string& a, const std::string& b);
// A new empty file in dir (the system's temp folder when dir is empty);
// empty on failure.
std::string NewTempFile(const std::string& dir);

// What a path names. Links are told apart only when not followed.
enum class PathKind { kMissing, kFile, kFolder, kLink, kOther, kError };
PathKind Classify(const std::string& path, bool followLinks);
// Why a path cannot be read as an input file ("it is a folder, not a
// file"...), or empty when it can.
std::string InputProblem(const std::string& path);

// The names in a folder, without "." and "..", as ANSI text. A name the
// system's text cannot hold exactly (bytes that are not UTF-8 on Linux) goes
// to *strays instead, so that no other file is named by mistake. False when the folder
// cannot be read.
bool ListFolder(const std::string& dir, std::vector<std::string>* names,
                std::vector<std::string>* strays);
// The absolute path with links and "." / ".." resolved, for comparing
// folders; empty when it does not exist.
std::string CanonicalPath(const std::string& path);

// Removes path should the process be stopped by a signal (Ctrl+C, a
// termination request) while it is registered; ForgetOnStop undoes it.
void RemoveOnStop(const std::string& path);
void ForgetOnStop(const std::string& path);

// A stored path component as a name the host accepts. Windows refuses "<"
// and ">", which the package's placeholders carry ("<TARGETDIR>" becomes
// "_TARGETDIR_" there); Linux keeps them.
std::string HostName(const std::string& component);

}  // namespace host
