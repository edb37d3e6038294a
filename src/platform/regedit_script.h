// Registry scripts for the system's registry editor. A REGEDIT4 script is
// read in the system's own code page, so on a machine that is not code
// page 936 its GBK names and values would be imported garbled; the same
// script in the "Windows Registry Editor Version 5.00" form, UTF-16, reads
// the same on every machine.
#pragma once
#include <string>

namespace platform {

// The UTF-16 little-endian bytes, with their byte order mark, of the 5.00
// form of a REGEDIT4 script in the system's text; empty when text is not
// one. The string types written as bytes (hex(1), hex(2), hex(7)), which
// REGEDIT4 holds in the code page and 5.00 in UTF-16, are converted too.
std::string RegistryScriptAsUnicode(const std::string& text);

// The file to hand "regedit /s" for the script at path: path itself where
// the registry editor reads it as written (code page 936, or ASCII alone),
// else a Unicode copy beside it, written refusing links, that the caller
// deletes once the editor has ended (*copy set).
std::string RegistryScriptForEditor(const std::string& path, bool* copy);

}  // namespace platform
