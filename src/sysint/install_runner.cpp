// Placeholder while the engine is being written.
#include "sysint/install_runner.h"
int CInstallRunner::Install(LPCSTR, HWND) { return 0; }
BOOL CInstallRunner::Uninstall(LPCSTR, HWND) { return FALSE; }
void RemoveUninstallKey(LPCSTR) {}
CString UninstallKeyPath(LPCSTR keyName) {
  return CString("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + keyName;
}
