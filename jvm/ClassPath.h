// The one JVM option that carries the class path.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jvm/OptionText.h"

// Prefix, temporary-directory archives, installer runtime archive, the
// configured class path (or its replacement) and the suffix, in this order.
std::string buildClassPathOption(const std::optional<std::string>& classPathPrepend,
                                 const std::optional<std::string>& classPathReplace,
                                 const std::optional<std::string>& classPathAppend);
void appendConfiguredClassPath(ClassPathText& classPath);
// False when the directory does not exist.
bool appendDirectoryArchives(ClassPathText& classPath, const std::string& directory, const char* extension);
// Names in the order the system lists them; empty when nothing matches.
std::vector<std::string> listDirectoryFiles(const std::string& directory, const char* extension);
