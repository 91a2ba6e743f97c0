// Per-user cache of probed versions: one registry key per java executable
// under HKEY_CURRENT_USER, valid while the file's last-write time is unchanged.
#pragma once

#include <string>

#include "core/Platform.h"

// The version learned for `javaExecutable` at `lastWrite`, or false.
bool versionCacheLookup(const std::string& javaExecutable, const FILETIME& lastWrite,
                        std::string& version);
// Failures are ignored: the next start just probes again.
void versionCacheStore(const std::string& javaExecutable, const FILETIME& lastWrite,
                       const std::string& version);
