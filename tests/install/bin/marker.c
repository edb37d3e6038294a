/* Leaves its command line and, on a second line, the folder it was started
   in, in "<own path>.ran", so a test can tell that the installer started it,
   with which arguments and where. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  char path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  lstrcatA(path, ".ran");
  FILE* f = fopen(path, "wb");
  if (!f) return 1;
  fputs(GetCommandLineA(), f);
  char dir[MAX_PATH];
  if (GetCurrentDirectoryA(MAX_PATH, dir)) fprintf(f, "\n%s", dir);
  fclose(f);
  return 0;
}
