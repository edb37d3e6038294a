#include <windows.h>
#include <shlobj.h>
#include "platform/fs.h"
#include "platform/known_folders.h"
#include "platform/wide.h"

namespace platform {
namespace {

const int kFolders[] = {
    CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_STARTMENU, CSIDL_PERSONAL,
    CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO, CSIDL_FAVORITES, CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA, CSIDL_PROFILE, CSIDL_TEMPLATES, CSIDL_SENDTO, CSIDL_RECENT, CSIDL_NETHOOD,
    CSIDL_PRINTHOOD, CSIDL_FONTS, CSIDL_ADMINTOOLS, CSIDL_COMMON_APPDATA, CSIDL_COMMON_DOCUMENTS,
    CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTMENU,
    CSIDL_COMMON_STARTUP, CSIDL_COMMON_MUSIC, CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO,
    CSIDL_COMMON_FAVORITES, CSIDL_COMMON_TEMPLATES, CSIDL_COMMON_ADMINTOOLS, CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86,
};

bool Lookup(int csidl, std::string* path) {
  wchar_t buf[MAX_PATH] = {0};
  if (!SHGetSpecialFolderPathW(nullptr, buf, csidl, FALSE) || !buf[0]) return false;
  *path = Narrow(buf);
  return true;
}

}  // namespace

std::vector<std::string> KnownFolders() {
  std::vector<std::string> out{WindowsDirectory(), SystemDirectory()};
  std::string path;
  for (int csidl : kFolders)
    if (Lookup(csidl, &path)) out.push_back(path);
  // Named only by known-folder ids, which the CSIDL call predates: they sit
  // where every Windows puts them.
  if (Lookup(CSIDL_PROFILE, &path)) out.push_back(path + "\\Downloads");
  if (Lookup(CSIDL_LOCAL_APPDATA, &path)) out.push_back(path + "\\Programs");
  return out;
}

}  // namespace platform
