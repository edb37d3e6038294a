// What a killed run left in the temporary folder: its blobs, which no
// destructor removed.
#pragma once
#include <string>
#include "afx/cstring.h"

// The form of the names the temporary-file naming gives our prefix:
// "tst", one to four hexadecimal digits, ".tmp", in any case.
bool IsBlobName(const std::string& name);

// Deletes every plain file of that form in tempDir that no running
// installer holds; returns how many went.
int RemoveLeftoverBlobs(const CString& tempDir);
