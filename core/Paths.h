// Path operations shared by every subsystem. Narrow paths are in the code page
// of the file functions; where a change would lose characters in that code
// page, the text is left as it was.
#pragma once

#include <string>
#include <string_view>

#include "core/PathText.h"

void collapseBackslashes(std::string& path);
void collapseBackslashes(std::wstring& path);
void lowerCasePath(std::string& path);
// The path made absolute against the directory of `baseFile`, or of the
// launcher when `baseFile` is null; only collapsed when already absolute.
std::string resolvePath(const std::string& path, const char* baseFile = nullptr);
// resolvePath, then the platform's full-path normalisation.
std::string canonicalPath(const std::string& path, bool lowerCase);
// Every non-empty ";"-separated entry made absolute with resolvePath (no base
// file), joined with ";" again.
std::string resolvePathList(std::string_view list);
bool pathExists(const std::string& path);
// The launcher's directory with its trailing backslash.
const std::string& launcherDirectory();
// The directory part of GetFullPathNameA of `file` (trailing backslash kept).
std::string directoryOfFile(const char* file);
