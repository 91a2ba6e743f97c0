#include "services/IncludedFileName.h"

#include "core/AsciiCase.h"

namespace {

template <class CharT>
bool equalsIgnoringCase(std::basic_string_view<CharT> a, const char* b) {
    return equalsIgnoringAsciiCase(a, std::string_view(b));
}

template <class CharT>
bool isOneOf(CharT c, const char* set) {
    for (; *set; ++set)
        if (c == static_cast<CharT>(*set))
            return true;
    return false;
}

// Windows opens these devices whatever directory and extension they are given.
template <class CharT>
bool isDeviceName(std::basic_string_view<CharT> part) {
    const std::basic_string_view<CharT> stem = part.substr(0, part.find(CharT('.')));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equalsIgnoringCase(stem, device))
            return true;
    if (stem.size() == 4 && (equalsIgnoringCase(stem.substr(0, 3), "COM") ||
                             equalsIgnoringCase(stem.substr(0, 3), "LPT")))
        return stem[3] >= CharT('0') && stem[3] <= CharT('9');
    return false;
}

template <class CharT>
const char* partProblem(std::basic_string_view<CharT> part) {
    if (part.empty())
        return "it has an empty part";
    if ((part.size() == 1 && part[0] == CharT('.')) ||
        (part.size() == 2 && part[0] == CharT('.') && part[1] == CharT('.')))
        return "'.' and '..' lead out of the temporary directory";
    // Windows drops these, so "..." or ".. " would act as "." or "..".
    if (part.back() == CharT('.') || part.back() == CharT(' '))
        return "a part ends in a dot or a blank";
    if (isDeviceName(part))
        return "it names a device";
    return nullptr;
}

template <class CharT>
std::vector<std::basic_string_view<CharT>> namesToHandle(std::basic_string_view<CharT> list, int32_t count) {
    std::vector<std::basic_string_view<CharT>> names;
    while (count > 0 && static_cast<int64_t>(names.size()) < count && !list.empty()) {
        const size_t semi = list.find(CharT(';'));
        const std::basic_string_view<CharT> piece = list.substr(0, semi);
        list = semi == std::basic_string_view<CharT>::npos ? std::basic_string_view<CharT>() : list.substr(semi + 1);
        if (!piece.empty())
            names.push_back(piece);
    }
    return names;
}

template <class CharT>
const char* nameProblem(std::basic_string_view<CharT> name, bool anyDepth) {
    constexpr auto npos = std::basic_string_view<CharT>::npos;
    if (name.empty())
        return "it is empty";
    if (name.front() == CharT('\\') || name.front() == CharT('/'))
        return "it is an absolute path";
    if (name.find(CharT(':')) != npos)
        return "it names a drive or a stream";
    if (name.find(CharT('/')) != npos)
        return "'/' separates directories too; only one '\\' is allowed";
    for (CharT c : name)
        if ((c >= CharT(0) && c < CharT(0x20)) || isOneOf(c, "<>\"|?*"))
            return "it holds a character that file names cannot hold";
    if (anyDepth) {
        for (size_t start = 0;;) {
            const size_t slash = name.find(CharT('\\'), start);
            if (const char* problem = partProblem(name.substr(start, slash == npos ? npos : slash - start)))
                return problem;
            if (slash == npos)
                return nullptr;
            start = slash + 1;
        }
    }
    const size_t slash = name.find(CharT('\\'));
    if (slash == npos)
        return partProblem(name);
    const std::basic_string_view<CharT> directory = name.substr(0, slash);
    const std::basic_string_view<CharT> file = name.substr(slash + 1);
    if (file.find(CharT('\\')) != npos)
        return "it has more than one directory level";
    if (const char* problem = partProblem(directory))
        return problem;
    return partProblem(file);
}

}  // namespace

std::vector<std::string_view> includedFileNamesToHandle(std::string_view list, int32_t count) {
    return namesToHandle(list, count);
}

std::vector<std::wstring_view> includedFileNamesToHandle(std::wstring_view list, int32_t count) {
    return namesToHandle(list, count);
}

const char* includedFileNameProblem(std::string_view name, bool anyDepth) { return nameProblem(name, anyDepth); }

const char* includedFileNameProblem(std::wstring_view name, bool anyDepth) { return nameProblem(name, anyDepth); }
