#include "core/PathText.h"

bool isRelativePath(std::string_view path) {
    if (path.size() < 3)
        return true;
    if (path[0] == '"') {
        if (path.size() < 4)
            return true;
        if (path.substr(2, 2) == ":\\")
            return false;
        path.remove_prefix(1);
    } else if (path.substr(1, 2) == ":\\") {
        return false;
    }
    return path.substr(0, 2) != "\\\\";
}

bool isDriveRootText(std::string_view path) {
    if (path.size() <= 1)
        return false;
    const std::string_view tail = path.substr(1);
    return tail == ":\\" || tail == ":\\." || tail == ":\\.\\.";
}

std::string_view directoryOfFullPath(std::string_view fullPath, size_t filePartOffset) {
    return fullPath.substr(0, filePartOffset < fullPath.size() ? filePartOffset : fullPath.size());
}
