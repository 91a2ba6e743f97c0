// What build, dump and the extraction of files share: the launcher's size
// limits and the questions asked of the files a run reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "tools/kvo-pack/host/SystemFiles.h"

namespace kvopack {

// The launcher keeps file offsets in 32-bit signed values.
constexpr int64_t kLargestFile = INT32_MAX;
// The stub is rewritten in memory.
constexpr int64_t kLargestStub = 512 * 1024 * 1024;

// `what`, then the system's text for errno value `error`.
std::string systemError(const std::string& what, int error);

// What is at `path` itself (a symbolic link is not followed).
std::optional<sys::FileStatus> existing(const std::filesystem::path& path);
std::optional<sys::FileStatus> followed(const std::string& path);
bool sameFile(const std::optional<sys::FileStatus>& a, const std::optional<sys::FileStatus>& b);

}  // namespace kvopack
