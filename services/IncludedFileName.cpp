#include "services/IncludedFileName.h"

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

// Windows opens these devices whatever directory and extension they are given.
bool isDeviceName(std::string_view part) {
    const std::string_view stem = part.substr(0, part.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equalsIgnoringCase(stem, device))
            return true;
    if (stem.size() == 4 && (equalsIgnoringCase(stem.substr(0, 3), "COM") ||
                             equalsIgnoringCase(stem.substr(0, 3), "LPT")))
        return stem[3] >= '0' && stem[3] <= '9';
    return false;
}

const char* partProblem(std::string_view part) {
    if (part.empty())
        return "it has an empty part";
    if (part == "." || part == "..")
        return "'.' and '..' lead out of the temporary directory";
    // Windows drops these, so "..." or ".. " would act as "." or "..".
    if (part.back() == '.' || part.back() == ' ')
        return "a part ends in a dot or a blank";
    if (isDeviceName(part))
        return "it names a device";
    return nullptr;
}

}  // namespace

std::vector<std::string_view> includedFileNamesToHandle(std::string_view list, int32_t count) {
    std::vector<std::string_view> names;
    while (count > 0 && static_cast<int64_t>(names.size()) < count && !list.empty()) {
        const size_t semi = list.find(';');
        const std::string_view piece = list.substr(0, semi);
        list = semi == std::string_view::npos ? std::string_view() : list.substr(semi + 1);
        if (!piece.empty())
            names.push_back(piece);
    }
    return names;
}

const char* includedFileNameProblem(std::string_view name) {
    if (name.empty())
        return "it is empty";
    if (name.front() == '\\' || name.front() == '/')
        return "it is an absolute path";
    if (name.find(':') != std::string_view::npos)
        return "it names a drive or a stream";
    if (name.find('/') != std::string_view::npos)
        return "'/' separates directories too; only one '\\' is allowed";
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>\"|?*").find(c) != std::string_view::npos)
            return "it holds a character that file names cannot hold";
    const size_t slash = name.find('\\');
    if (slash == std::string_view::npos)
        return partProblem(name);
    const std::string_view directory = name.substr(0, slash);
    const std::string_view file = name.substr(slash + 1);
    if (file.find('\\') != std::string_view::npos)
        return "it has more than one directory level";
    if (const char* problem = partProblem(directory))
        return problem;
    return partProblem(file);
}
