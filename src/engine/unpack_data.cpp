// Placeholder for the install half, so that everything deriving from the
// package links; the installing engine replaces this file.
#include "engine/setup_package.h"

int CSetupPackage::UnpackDataInfo(CFile&) { return FALSE; }
