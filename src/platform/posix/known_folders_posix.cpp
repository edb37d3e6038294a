// The sandbox's machine: one user, "user", laid out as a Windows of today.
#include "platform/fs.h"
#include "platform/known_folders.h"

namespace platform {

std::vector<std::string> KnownFolders() {
  std::vector<std::string> out{WindowsDirectory(), SystemDirectory(), WindowsDirectory() + "\\Fonts"};
  for (const char* p : {
           "C:\\Program Files", "C:\\Program Files (x86)", "C:\\Program Files\\Common Files",
           "C:\\ProgramData", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
           "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
           "C:\\Users\\Public\\Desktop", "C:\\Users\\Public\\Documents", "C:\\Users\\user",
           "C:\\Users\\user\\Desktop", "C:\\Users\\user\\Documents", "C:\\Users\\user\\Downloads",
           "C:\\Users\\user\\Music", "C:\\Users\\user\\Pictures", "C:\\Users\\user\\Videos",
           "C:\\Users\\user\\Favorites", "C:\\Users\\user\\AppData\\Roaming",
           "C:\\Users\\user\\AppData\\Local", "C:\\Users\\user\\AppData\\Local\\Programs",
           "C:\\Users\\user\\Start Menu", "C:\\Users\\user\\Start Menu\\Programs",
           "C:\\Users\\user\\Start Menu\\Programs\\Startup", "C:\\Users\\user\\Templates",
           "C:\\Users\\user\\SendTo"})
    out.push_back(p);
  return out;
}

}  // namespace platform
