// The setup UI script: product name, install directory, program folder and
// licence text for the wizard; version, publisher and web address for the
// Uninstall entry.
#pragma once
#include "afx/cstring.h"
#include "engine/setup_app.h"

class CUIScriptReader {
 public:
  explicit CUIScriptReader(LPCSTR path) : m_strFileName(path ? path : "") {}
  virtual ~CUIScriptReader() = default;
  // TRUE when the script was read to the end; FALSE without a path or when
  // the shell gives no Programs folder.
  virtual BOOL Read(CString& productName, CString& targetDir, CString& programFolder,
                    CString& licence);
  // The first lines of [VERSION], [PUBLISHER] and [URL], each empty when
  // its section is missing; never a message, as older scripts have none.
  void ReadDetails(CString& version, CString& publisher, CString& url);

 protected:
  CString m_strFileName;
};

// The welcome page's text for a product name (empty names leave a gap).
CString FormatWelcomeText(const CString& productName);

// Reads m_strUIScriptFile into the application's fields and formats the
// welcome text; failures are told to the user and the fields keep what
// was read.
void LoadUIScriptInto(CTarnSetupShellApp& app);
