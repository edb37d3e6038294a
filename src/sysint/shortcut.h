#pragma once
#include "afx/cstring.h"

// Writes one shell link. description and arguments may be null. The result
// is an HRESULT: negative on failure. The calling thread has initialised COM.
TARN_EXPORT LONG CreateShortcut(LPCSTR targetPath, LPCSTR linkPath, LPCSTR workingDir,
                                LPCSTR description, LPCSTR arguments);
