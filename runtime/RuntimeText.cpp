#include "runtime/RuntimeText.h"

std::vector<SearchEntry> splitSearchSequence(std::string_view sequence) {
    std::vector<SearchEntry> entries;
    for (const std::string& part : splitList(sequence))
        entries.push_back(SearchEntry{part[0], part.substr(1)});
    return entries;
}

std::vector<std::string> splitList(std::string_view list) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string_view::npos)
            end = list.size();
        if (end > start)
            parts.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool isAbsoluteLocation(std::string_view text) {
    return text.size() > 1 && (text[1] == ':' || (text[0] == '\\' && text[1] == '\\'));
}

std::string directoryPrefixOf(std::string_view javaExecutable) {
    constexpr std::string_view windowed = "javaw.exe";
    const bool isWindowed = javaExecutable.size() >= windowed.size() &&
                            javaExecutable.substr(javaExecutable.size() - windowed.size()) == windowed;
    const size_t cut = isWindowed ? 9 : 8;
    if (javaExecutable.size() < cut)
        return std::string();
    return std::string(javaExecutable.substr(0, javaExecutable.size() - cut));
}

std::string binDirectoryOf(std::string_view javaExecutable) {
    std::string dir = directoryPrefixOf(javaExecutable);
    if (!dir.empty())
        dir.pop_back();
    return dir;
}

std::string jvmHomeOf(std::string_view javaExecutable) {
    return directoryPrefixOf(javaExecutable) + "..";
}

std::string windowedExecutableOf(std::string_view javaExecutable) {
    if (javaExecutable.size() < 4)
        return std::string(javaExecutable);
    return std::string(javaExecutable.substr(0, javaExecutable.size() - 4)) + "w.exe";
}

std::string replaceChar(std::string_view text, char from, char to) {
    std::string out(text);
    for (char& c : out)
        if (c == from)
            c = to;
    return out;
}

std::string versionCacheKey(std::string_view javaExecutable) {
    return "SOFTWARE\\orrin-labs\\korvo\\jvms\\" + replaceChar(javaExecutable, '\\', '/');
}

const char* const packedArchives[7] = {
    "lib\\rt.jar",     "lib\\jfxrt.jar",          "lib\\charsets.jar", "lib\\plugin.jar",
    "lib\\deploy.jar", "lib\\ext\\localedata.jar", "lib\\jsse.jar",
};

std::string unpackCommandLine(std::string_view unpacker, std::string_view packedPath, std::string_view archivePath) {
    std::string line = "\"";
    line += unpacker;
    line += "\" -r \"";
    line += packedPath;
    line += "\" \"";
    line += archivePath;
    line += '"';
    return line;
}

bool peSignatureOffset(const unsigned char* dosHeader, size_t size, uint32_t& offset) {
    if (size < 64 || dosHeader[0] != 'M' || dosHeader[1] != 'Z')
        return false;
    offset = uint32_t(dosHeader[60]) | uint32_t(dosHeader[61]) << 8 | uint32_t(dosHeader[62]) << 16 |
             uint32_t(dosHeader[63]) << 24;
    return true;
}

bool peMachineAt(const unsigned char* signature, size_t size, uint16_t& machine) {
    if (size < 6 || signature[0] != 'P' || signature[1] != 'E' || signature[2] != 0 || signature[3] != 0)
        return false;
    machine = uint16_t(signature[4] | signature[5] << 8);
    return true;
}

std::string runtimeRootOf(std::string_view javaExecutable) {
    const std::string bin = binDirectoryOf(javaExecutable);
    const size_t slash = bin.find_last_of('\\');
    return slash == std::string::npos ? std::string() : bin.substr(0, slash);
}

std::vector<std::string> releaseFileCandidates(std::string_view javaExecutable) {
    std::vector<std::string> files;
    const std::string root = runtimeRootOf(javaExecutable);
    if (root.empty())
        return files;
    files.push_back(root + "\\release");
    const size_t slash = root.find_last_of('\\');
    if (slash != std::string::npos && slash > 0) {
        std::string last = root.substr(slash + 1);
        for (char& c : last)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        if (last == "jre")
            files.push_back(root.substr(0, slash) + "\\release");
    }
    return files;
}

bool stripSurroundingQuotes(std::string& value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return false;
    value = value.substr(1, value.size() - 2);
    return true;
}
