/* Self-registering test libraries. Built three ways: with both entry points
   (registration leaves HKCU\Software\TarnTest\Registered = the library's
   path), without them (NO_ENTRY), and with one that fails (ENTRY_FAILS). */
#include <windows.h>

static HMODULE g_self;

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_self = self;
  return TRUE;
}

#ifndef NO_ENTRY
__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
#ifdef ENTRY_FAILS
  return E_FAIL;
#else
  char path[MAX_PATH];
  HKEY key;
  DWORD n = GetModuleFileNameA(g_self, path, MAX_PATH);
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TarnTest", 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                      &key, NULL) != ERROR_SUCCESS)
    return E_FAIL;
  RegSetValueExA(key, "Registered", 0, REG_SZ, (const BYTE*)path, n + 1);
  RegCloseKey(key);
  return S_OK;
#endif
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TarnTest", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "Registered");
    RegCloseKey(key);
  }
  return S_OK;
}
#endif
