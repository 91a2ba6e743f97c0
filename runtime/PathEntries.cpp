#include "runtime/PathEntries.h"

#include "core/PathText.h"

std::vector<std::string> absolutePathDirectories(std::string_view pathValue) {
    std::vector<std::string> directories;
    while (!pathValue.empty()) {
        const size_t semi = pathValue.find(';');
        std::string_view entry = pathValue.substr(0, semi);
        pathValue = semi == std::string_view::npos ? std::string_view() : pathValue.substr(semi + 1);
        if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"')
            entry = entry.substr(1, entry.size() - 2);
        if (entry.empty() || isRelativePath(entry) || entry.front() == '"')
            continue;
        directories.emplace_back(entry);
    }
    return directories;
}

std::string fileInDirectory(std::string_view directory, std::string_view file) {
    std::string path(directory);
    if (path.empty() || path.back() != '\\')
        path += '\\';
    path += file;
    return path;
}
