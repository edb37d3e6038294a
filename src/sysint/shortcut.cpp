#include "sysint/shortcut.h"
#include "afx/msgbox.h"
#include "platform/shell_link.h"

LONG CreateShortcut(LPCSTR targetPath, LPCSTR linkPath, LPCSTR workingDir, LPCSTR description,
                    LPCSTR arguments) {
  platform::ShellLink link;
  LONG hr = link.Create();
  if (hr < 0) return hr;
  struct Setter {
    LONG (platform::ShellLink::*set)(const std::string&);
    LPCSTR value;
    const char* failed;
  };
  const Setter setters[] = {
      {&platform::ShellLink::SetPath, targetPath, "SetPath failed!"},
      {&platform::ShellLink::SetDescription, description, "SetDescription failed!"},
      {&platform::ShellLink::SetArguments, arguments, "SetArguments failed!"},
      {&platform::ShellLink::SetWorkingDirectory, workingDir, "SetWorkingDirectory failed!"},
  };
  for (const Setter& s : setters) {
    hr = (link.*s.set)(s.value ? s.value : "");
    if (hr < 0) {
      AfxReportFailure(linkPath, s.failed);
      return hr;
    }
  }
  // The save's own status is not looked at, as the shell link component's
  // callers never did; a name too long to convert is refused before it.
  LONG saved = 0;
  return link.Save(linkPath ? linkPath : "", &saved);
}
