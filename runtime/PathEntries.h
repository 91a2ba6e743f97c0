// Which PATH entries may be searched for a java executable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The directories of a PATH value that name one fixed place: entries are
// split at ";", surrounding double quotes are dropped, and empty or relative
// entries (".", "bin", "\dir", "c:dir") are left out, since those would be
// looked up against the working directory.
std::vector<std::string> absolutePathDirectories(std::string_view pathValue);

// `directory` joined with `file` by exactly one backslash.
std::string fileInDirectory(std::string_view directory, std::string_view file);
