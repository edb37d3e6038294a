// The wizard's pictures from the program's resources.
#pragma once
#include <windows.h>

// A screen bitmap of packed bitmap `id` (see packed_art.h); null when it is
// missing or damaged. The caller deletes it once no window shows it.
HBITMAP LoadPackedBitmap(UINT id);

// Shows packed bitmap `id` in static control `control` of `dlg`; returns it
// for the caller to delete after the dialog is gone.
HBITMAP ShowPackedBitmap(HWND dlg, int control, UINT id);
