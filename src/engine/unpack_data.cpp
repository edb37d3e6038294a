// Placeholder for the install half while it is being written.
#include "engine/setup_package.h"

int CSetupPackage::UnpackDataInfo(CFile&) { return FALSE; }
BOOL CSetupPackage::WriteUninstallInfo(LPCSTR, LPCSTR, LPCSTR, LPCSTR) { return FALSE; }
BOOL CSetupPackage::ProcessUninstallLog(LPCSTR) { return FALSE; }
BOOL CSetupPackage::PostProcessFile(LPCSTR, const TSPIndex&) { return TRUE; }
BOOL CSetupPackage::ExpandFolderMacro(CString&) { return FALSE; }
BOOL CSetupPackage::CreateFileShortcut(CString, const TSPIndex&) { return FALSE; }
BOOL CSetupPackage::LoadScriptRegList(const BYTE*, DWORD) { return TRUE; }
BOOL CSetupPackage::CheckOSVersion(DWORD) { return TRUE; }
