// An install over a product the machine already lists: whose it is, and
// where the installed version went.
#pragma once
#include "afx/cstring.h"
#include "engine/installed_entry.h"
#include "engine/setup_app.h"

inline constexpr char kOtherPublisherCaption[] = "安装询问";

// The silent log's line, or with asking set the wizard's question, when
// the installed product names another publisher.
CString OtherPublisherText(const CString& product, const CString& theirPublisher, bool asking = false);

// An installed version's folder becomes the proposed one (a full path on a
// drive only) and its version is noted for the path page.
void ProposeInstalledFolder(CTarnSetupShellApp& app, const stuInstalledEntry& installed);

// The wizard's start: FALSE when the product is another publisher's and the
// user does not answer Yes; else the installed folder is proposed.
BOOL AcceptInstalledProduct(CTarnSetupShellApp& app);
