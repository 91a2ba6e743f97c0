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

std::string withoutDotParts(std::string_view path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part != "." || (start == 0 && end == path.size())) {
            out.append(part);
            if (end < path.size())
                out += path[end];
        }
        start = end + 1;
    }
    // A "." that was last leaves the separator before it, unless it is a root's.
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (out.size() > 1 && separator(out.back()) && !separator(path.back()) && out[out.size() - 2] != ':')
        out.pop_back();
    return out;
}
