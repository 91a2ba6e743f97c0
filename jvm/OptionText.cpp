#include "jvm/OptionText.h"

#include <algorithm>

#include "core/AsciiCase.h"

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view kIncludeOptions = "-include-options";

struct SeparateValueOption {
    std::string_view written;
    std::string_view vmName;
};

constexpr SeparateValueOption kSeparateValueOptions[] = {
    {"--add-opens", "--add-opens"},
    {"--add-exports", "--add-exports"},
    {"--add-reads", "--add-reads"},
    {"--add-modules", "--add-modules"},
    {"--module-path", "--module-path"},
    {"-p", "--module-path"},
    {"--upgrade-module-path", "--upgrade-module-path"},
    {"--limit-modules", "--limit-modules"},
    {"--patch-module", "--patch-module"},
    {"--enable-native-access", "--enable-native-access"},
};

struct JavaCommandOption {
    std::string_view text;
    bool prefix;  // any text that begins with it; else the word alone or followed by a blank
    const char* advice;
};

constexpr const char kClassPathAdvice[] =
    "name the archives in the class path record, or write a line \"-classpath/a PATH\" in an options file";
constexpr const char kMainAdvice[] =
    "name the class to start in the main class record and its archive in the class path record";
constexpr const char kRemoveAdvice[] = "it has no effect here; remove it";

constexpr JavaCommandOption kJavaCommandOptions[] = {
    {"-cp", false, kClassPathAdvice},
    {"-classpath", false, kClassPathAdvice},
    {"--class-path", false, kClassPathAdvice},
    {"--class-path=", true, kClassPathAdvice},
    {"-jar", false, kMainAdvice},
    {"-m", false, kMainAdvice},
    {"--module", false, kMainAdvice},
    {"--module=", true, kMainAdvice},
    {"-splash:", true, "set the splash screen in the launcher's splash records"},
    {"--dry-run", false, kRemoveAdvice},
    {"-version", false, kRemoveAdvice},
    {"--version", false, kRemoveAdvice},
    {"-showversion", false, kRemoveAdvice},
    {"--show-version", false, kRemoveAdvice},
    {"@", true, "write \"-include-options FILE\" instead, with one option a line in FILE"},
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool sameIgnoringCase(std::string_view a, std::string_view b) { return equalsIgnoringAsciiCase(a, b); }

}  // namespace

std::string_view separateValueOption(std::string_view text) {
    for (const SeparateValueOption& o : kSeparateValueOptions)
        if (text == o.written)
            return o.vmName;
    return {};
}

std::string joinedOption(std::string_view option, std::string_view value) {
    std::string joined(separateValueOption(option));
    joined += '=';
    joined += value;
    return joined;
}

std::vector<std::string> joinOptionWords(const std::vector<std::string>& words, bool joinIncludes) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < words.size(); ++i) {
        const bool hasNext = i + 1 < words.size();
        if (hasNext && joinIncludes && words[i] == kIncludeOptions) {
            texts.push_back(words[i] + " " + words[i + 1]);
            ++i;
        } else if (hasNext && !separateValueOption(words[i]).empty() && words[i + 1] != kIncludeOptions) {
            texts.push_back(joinedOption(words[i], words[i + 1]));
            ++i;
        } else {
            texts.push_back(words[i]);
        }
    }
    return texts;
}

std::string joinOptionLine(std::string_view line) {
    size_t blank = 0;
    while (blank < line.size() && !isBlank(line[blank]))
        ++blank;
    size_t value = blank;
    while (value < line.size() && isBlank(line[value]))
        ++value;
    if (blank == line.size() || value == line.size() || separateValueOption(line.substr(0, blank)).empty())
        return std::string(line);
    return joinedOption(line.substr(0, blank), line.substr(value));
}

std::vector<std::string> OptionFileLines::take(std::string_view line) {
    std::vector<std::string> texts;
    const bool directive = classifyOptionLine(line).kind != OptionLineKind::option;
    if (!waiting_.empty()) {
        if (!directive) {
            texts.push_back(joinedOption(waiting_, line));
            waiting_.clear();
            return texts;
        }
        texts.push_back(waiting_);
        waiting_.clear();
    }
    if (!directive && !separateValueOption(line).empty())
        waiting_ = std::string(line);
    else
        texts.push_back(directive ? std::string(line) : joinOptionLine(line));
    return texts;
}

std::vector<std::string> OptionFileLines::finish() {
    std::vector<std::string> texts;
    if (!waiting_.empty())
        texts.push_back(waiting_);
    waiting_.clear();
    return texts;
}

const char* javaCommandOnlyAdvice(std::string_view option) {
    for (const JavaCommandOption& o : kJavaCommandOptions) {
        if (!startsWith(option, o.text))
            continue;
        if (o.prefix || option.size() == o.text.size() || isBlank(option[o.text.size()]))
            return o.advice;
    }
    return nullptr;
}

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

void readOptionLines(std::FILE* file, const std::function<void()>& byteOrderMark,
                     const std::function<void(std::string& line)>& take) {
    char buffer[8192];
    bool first = true;
    while (std::fgets(buffer, sizeof buffer, file)) {
        std::string line(buffer);
        if (first && dropUtf8ByteOrderMark(line))
            byteOrderMark();
        first = false;
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
            return static_cast<unsigned char>(lowerAscii(x)) < static_cast<unsigned char>(lowerAscii(y));
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
