#include "services/CacheFolder.h"

#include <charconv>

#include "core/AsciiCase.h"
#include "services/IncludedFileName.h"

namespace {

template <class CharT>
bool isHexDigit(CharT c) {
    return (c >= CharT('0') && c <= CharT('9')) || (c >= CharT('a') && c <= CharT('f')) ||
           (c >= CharT('A') && c <= CharT('F'));
}

template <class CharT>
bool isHash(std::basic_string_view<CharT> text) {
    if (text.size() != kContentHashDigits)
        return false;
    for (CharT c : text)
        if (!isHexDigit(c))
            return false;
    return true;
}

template <class CharT>
CacheFolderKind kindOf(std::basic_string_view<CharT> name) {
    if (isHash(name))
        return CacheFolderKind::content;
    constexpr size_t tagLength = 5;  // ".new-", ".old-"
    // The tail is a process id and a counter; nothing longer is ever made.
    if (name.size() <= kContentHashDigits + tagLength || name.size() > kContentHashDigits + tagLength + 40 ||
        !isHash(name.substr(0, kContentHashDigits)))
        return CacheFolderKind::other;
    const std::basic_string_view<CharT> tag = name.substr(kContentHashDigits, tagLength);
    const std::basic_string_view<CharT> tail = name.substr(kContentHashDigits + tagLength);
    if (tail.front() < CharT('0') || tail.front() > CharT('9'))
        return CacheFolderKind::other;
    for (CharT c : tail)
        if ((c < CharT('0') || c > CharT('9')) && c != CharT('-'))
            return CacheFolderKind::other;
    if (equalsIgnoringAsciiCase(tag, std::string_view(".new-")))
        return CacheFolderKind::staging;
    if (equalsIgnoringAsciiCase(tag, std::string_view(".old-")))
        return CacheFolderKind::retired;
    return CacheFolderKind::other;
}

template <class CharT>
bool isBlank(CharT c) {
    return c == CharT(' ') || c == CharT('\t');
}

template <class CharT>
std::basic_string<CharT> folderName(std::basic_string_view<CharT> applicationName,
                                    std::basic_string_view<CharT> launcherFileName) {
    using View = std::basic_string_view<CharT>;
    View source = applicationName;
    while (!source.empty() && isBlank(source.front()))
        source.remove_prefix(1);
    while (!source.empty() && isBlank(source.back()))
        source.remove_suffix(1);
    if (source.empty()) {
        source = launcherFileName;
        if (source.size() > 4 && equalsIgnoringAsciiCase(source.substr(source.size() - 4), std::string_view(".exe")))
            source.remove_suffix(4);
    }
    std::basic_string<CharT> name;
    for (CharT c : source) {
        if (name.size() == kApplicationFolderMax)
            break;
        const bool forbidden = (c >= CharT(0) && c < CharT(0x20)) || c == CharT(0x7F);
        bool reserved = false;
        for (char r : std::string_view("<>:\"/\\|?*"))
            reserved = reserved || c == CharT(r);
        name.push_back(forbidden || reserved ? CharT('_') : c);
    }
    // Half a surrogate pair is no character (in UTF-16); Windows drops
    // trailing dots and blanks: "App." would be "App".
    const auto tidyEnd = [&name] {
        if constexpr (sizeof(CharT) >= 2)
            if (!name.empty() && name.back() >= CharT(0xD800) && name.back() <= CharT(0xDBFF))
                name.pop_back();
        while (!name.empty() && (name.back() == CharT('.') || isBlank(name.back())))
            name.pop_back();
    };
    tidyEnd();
    while (!name.empty() && isBlank(name.front()))
        name.erase(name.begin());
    if (name.empty())
        return {CharT('a'), CharT('p'), CharT('p'), CharT('l'), CharT('i'), CharT('c'),
                CharT('a'), CharT('t'), CharT('i'), CharT('o'), CharT('n')};
    // What is left to refuse is a device ("CON", "nul.txt"), which "_" ends.
    if (includedFileNameProblem(View(name))) {
        name.insert(name.begin(), CharT('_'));
        if (name.size() > kApplicationFolderMax)
            name.resize(kApplicationFolderMax);
        tidyEnd();
    }
    return name;
}

// A decimal number of digits only, as the index writes it.
template <class T>
bool readNumber(std::string_view text, T& value) {
    if (text.empty() || text.size() > 20 || text.front() < '0' || text.front() > '9')
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// The next line without its line feed; false when there is no line feed.
bool nextLine(std::string_view& text, std::string_view& line) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return false;
    line = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

}  // namespace

bool isContentHash(std::string_view text) { return isHash(text); }

CacheFolderKind cacheFolderKind(std::string_view name) { return kindOf(name); }
CacheFolderKind cacheFolderKind(std::wstring_view name) { return kindOf(name); }

std::string applicationFolderName(std::string_view applicationName, std::string_view launcherFileName) {
    return folderName(applicationName, launcherFileName);
}

std::wstring applicationFolderName(std::wstring_view applicationName, std::wstring_view launcherFileName) {
    return folderName(applicationName, launcherFileName);
}

std::string formatCacheIndex(std::string_view hash, const std::vector<CachedFile>& files) {
    std::string text = "kvo-files 1\nhash " + std::string(hash) + "\nfiles " + std::to_string(files.size()) + "\n";
    for (const CachedFile& f : files)
        text += std::to_string(f.size) + " " + std::to_string(f.lastWrite) + "\n";
    return text + "end\n";
}

size_t cacheIndexLimit(size_t count) {
    // Header and end, then two numbers of at most 20 digits, a blank and a line feed.
    return 64 + kContentHashDigits + count * 42;
}

const char* parseCacheIndex(std::string_view text, std::string_view hash, size_t count,
                            std::vector<CachedFile>& files) {
    files.clear();
    const char* problem = nullptr;
    std::string_view line;
    size_t written = 0;
    if (text.size() > cacheIndexLimit(count))
        problem = "it is longer than an index of its files";
    else if (!nextLine(text, line) || line != "kvo-files 1")
        problem = "its first line is not \"kvo-files 1\"";
    else if (!nextLine(text, line) || line.substr(0, 5) != "hash " || line.substr(5) != hash)
        problem = "it was written for another content";
    else if (!nextLine(text, line) || line.substr(0, 6) != "files " || !readNumber(line.substr(6), written) ||
             written != count)
        problem = "it counts another number of files";
    for (size_t i = 0; !problem && i < count; ++i) {
        CachedFile f;
        uint64_t size = 0;
        const size_t blank = nextLine(text, line) ? line.find(' ') : std::string_view::npos;
        if (blank == std::string_view::npos || !readNumber(line.substr(0, blank), size) ||
            size > uint64_t(INT64_MAX) || !readNumber(line.substr(blank + 1), f.lastWrite))
            problem = "a file's line is not a size and a time";
        f.size = int64_t(size);
        files.push_back(f);
    }
    if (!problem && (!nextLine(text, line) || line != "end" || !text.empty()))
        problem = "it does not end after its files";
    if (problem)
        files.clear();
    return problem;
}
