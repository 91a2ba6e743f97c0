#include "tools/kvo-pack/package/PackSupport.h"

#include <cstring>

namespace fs = std::filesystem;

namespace kvopack {

std::string systemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::optional<sys::FileStatus> existing(const fs::path& path) {
    sys::FileStatus st;
    if (sys::pathStatus(sys::fromPath(path), false, st) != 0)
        return std::nullopt;
    return st;
}

std::optional<sys::FileStatus> followed(const std::string& path) {
    sys::FileStatus st;
    if (sys::pathStatus(path, true, st) != 0)
        return std::nullopt;
    return st;
}

bool sameFile(const std::optional<sys::FileStatus>& a, const std::optional<sys::FileStatus>& b) {
    return a && b && sys::sameFile(*a, *b);
}

}  // namespace kvopack
