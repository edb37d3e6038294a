/* Leaves its command line in "<own path>.ran", so a test can tell that the
   installer started it and with which arguments. */
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
  fclose(f);
  return 0;
}
