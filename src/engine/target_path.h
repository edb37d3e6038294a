// Stored target paths seen as names on a disk: what the install, extract
// and verify may write, and what a build may store.
#pragma once
#include <string>
#include <vector>

// "CON", "NUL", "COM1", "LPT1"... with or without an extension: Windows
// opens the device, whatever the folder.
bool IsDeviceName(const std::string& component);

// Why the path cannot be written below a folder (it climbs out, names a
// device, holds a character no name may hold), in English, or empty when it
// can; *parts then holds its components, placeholder first.
std::string TargetPathProblem(const std::string& path, std::vector<std::string>* parts);

// The path with "/" read as "\" and no empty component past its root (a
// "\\server" root keeps its two): one spelling, so that comparisons as text
// (the log's own name) and the log's lines see the name Windows opens.
std::string CanonicalSeparators(const std::string& path);
