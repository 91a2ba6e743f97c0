#include "jvm/OptionText.h"

#include <algorithm>

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

}  // namespace

OptionLine classifyOptionLine(std::string_view text) {
    struct Prefix {
        std::string_view text;
        OptionLineKind kind;
    };
    static constexpr Prefix prefixes[] = {
        {"-include-options ", OptionLineKind::includeOptions},
        {"-classpath ", OptionLineKind::classPathReplace},
        {"-classpath/p ", OptionLineKind::classPathPrepend},
        {"-classpath/a ", OptionLineKind::classPathAppend},
    };
    for (const Prefix& p : prefixes)
        if (startsWith(text, p.text))
            return {p.kind, text.substr(p.text.size())};
    return {OptionLineKind::option, text};
}

bool trimOptionLine(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        line.clear();
        return false;
    }
    const size_t last = line.find_last_not_of(' ');
    line = line.substr(first, last - first + 1);
    return line[0] != '#';
}

bool dropUtf8ByteOrderMark(std::string& firstLine) {
    if (!startsWith(firstLine, "\xEF\xBB\xBF"))
        return false;
    firstLine.erase(0, 3);
    return true;
}

ClassPathEntry parseClassPathEntry(std::string_view entry) {
    ClassPathEntry e;
    if (!entry.empty())
        e.type = entry[0];
    if (entry.size() > 1)
        e.mandatory = entry[1] == '1';
    if (entry.size() > 2)
        e.text = std::string(entry.substr(2));
    return e;
}

std::optional<std::string> classPathWildcardFolder(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    const std::string_view last = cut == std::string_view::npos ? path : path.substr(cut + 1);
    if (last != "*" && !sameIgnoringCase(last, "*.jar"))
        return std::nullopt;
    if (cut == std::string_view::npos)
        return std::string(".");
    return std::string(path.substr(0, cut));
}

std::vector<std::string> wildcardArchives(std::vector<std::string> names) {
    std::erase_if(names, [](const std::string& name) {
        return name.size() <= 4 || !sameIgnoringCase(std::string_view(name).substr(name.size() - 4), ".jar");
    });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const auto folded = [](char x, char y) {
            return static_cast<unsigned char>(foldCase(x)) < static_cast<unsigned char>(foldCase(y));
        };
        if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded))
            return true;
        if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded))
            return false;
        return a < b;
    });
    return names;
}

std::string classPathValueOfVariable(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    std::string piece(value);
    if (piece.empty() || piece.back() != ';')
        piece += ';';
    return piece;
}

ClassPathText::ClassPathText() : text_("-Djava.class.path=") {}

bool ClassPathText::append(std::string_view piece) {
    if (text_.size() + piece.size() + 1 > kCapacity)
        return false;
    text_.append(piece);
    return true;
}
