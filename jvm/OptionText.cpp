#include "jvm/OptionText.h"

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
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

void readOptionLines(std::FILE* file, const std::function<void(std::string& line)>& take) {
    char buffer[8192];
    while (std::fgets(buffer, sizeof buffer, file)) {
        std::string line(buffer);
        if (trimOptionLine(line))
            take(line);
    }
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
