#include "engine/setup_app.h"
#include "platform/fs.h"

namespace {
CTarnSetupShellApp* g_app = nullptr;
}

CTarnSetupShellApp::CTarnSetupShellApp() { g_app = this; }

CTarnSetupShellApp::~CTarnSetupShellApp() {
  if (!m_strUIScriptFile.IsEmpty()) platform::RemoveFile(static_cast<LPCSTR>(m_strUIScriptFile));
  if (!m_strPackageFile.IsEmpty()) platform::RemoveFile(static_cast<LPCSTR>(m_strPackageFile));
  if (g_app == this) g_app = nullptr;
}

BOOL CTarnSetupShellApp::InitInstance() { return FALSE; }

CTarnSetupShellApp* AfxGetApp() { return g_app; }
