#include "runtime/ReleaseFile.h"

namespace {

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

bool releaseJavaVersion(std::string_view content, std::string& version) {
    // A byte-order mark from an editor is no part of the first key.
    if (content.substr(0, 3) == "\xEF\xBB\xBF")
        content.remove_prefix(3);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string_view::npos)
            end = content.size();
        const std::string_view line = trimBlanks(content.substr(start, end - start));
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || trimBlanks(line.substr(0, equals)) != "JAVA_VERSION")
            continue;
        std::string_view value = trimBlanks(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.empty() || value.size() > kReleaseVersionMax)
            return false;
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20 || c == '"')
                return false;
        version.assign(value);
        return true;
    }
    return false;
}
