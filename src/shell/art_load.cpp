#include "shell/art_load.h"
#include "shell/packed_art.h"

HBITMAP LoadPackedBitmap(UINT id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, found);
  const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
  stuUnpackedBitmap bmp;
  if (!data || !UnpackBitmap(data, ::SizeofResource(module, found), &bmp)) return nullptr;
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(bmp.file.data() + bmp.info);
  // A device bitmap of the screen, as LoadBitmap makes.
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bmp.file.data() + bmp.bits,
                                    info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  return bitmap;
}

HBITMAP ShowPackedBitmap(HWND dlg, int control, UINT id) {
  HBITMAP bitmap = LoadPackedBitmap(id);
  if (bitmap)
    ::SendDlgItemMessageW(dlg, control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  return bitmap;
}
