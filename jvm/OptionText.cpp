#include "jvm/OptionText.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/AsciiCase.h"
#include "core/PathText.h"
#include "runtime/RuntimeText.h"

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
    // Each of them begins with "-" or "@"; most options are asked here.
    if (option.empty() || (option[0] != '-' && option[0] != '@'))
        return nullptr;
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
    if (!startsWith(text, "-classpath") && !startsWith(text, "-include-options "))
        return {OptionLineKind::option, text};
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
    line.erase(line.find_last_not_of(' ') + 1);
    line.erase(0, first);
    return line[0] != '#';
}

OptionFileDecoder::OptionFileDecoder(Events events, size_t piece)
    : events_(std::move(events)), pieceSize_(std::max<size_t>(piece, 2)) {}

void OptionFileDecoder::decide(bool atEnd) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    const auto begins = [&](std::string_view mark) { return startsWith(start_, mark); };
    if (!atEnd && start_.size() < 3 && begins(kUtf8Mark.substr(0, start_.size())))
        return;  // maybe a UTF-8 mark still
    if (begins("\xFF\xFE"))
        form_ = OptionFileForm::utf16le;
    else if (begins("\xFE\xFF"))
        form_ = OptionFileForm::utf16be;
    else if (begins(kUtf8Mark))
        form_ = OptionFileForm::utf8Mark;
    else if (!atEnd && start_.size() < 2 && (begins("\xFF") || begins("\xFE")))
        return;  // maybe a UTF-16 mark still
    decided_ = true;
    const size_t mark = form_ == OptionFileForm::ansi ? 0 : form_ == OptionFileForm::utf8Mark ? 3 : 2;
    if (mark && events_.marked)
        events_.marked(form_);
    const std::string rest = start_.substr(mark);
    start_.clear();
    if (form_ == OptionFileForm::utf16le || form_ == OptionFileForm::utf16be)
        feedWide(rest);
    else
        feedNarrow(rest);
}

void OptionFileDecoder::feed(std::string_view bytes) {
    if (!decided_) {
        const size_t taken = std::min(bytes.size(), size_t(3) - std::min(start_.size(), size_t(3)));
        start_.append(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
        decide(false);
        if (!decided_)
            return;
    }
    if (form_ == OptionFileForm::utf16le || form_ == OptionFileForm::utf16be)
        feedWide(bytes);
    else
        feedNarrow(bytes);
}

void OptionFileDecoder::feedNarrow(std::string_view bytes) {
    while (!bytes.empty() && !ended_) {
        const std::string_view span = bytes.substr(0, pieceSize_ - piece_.size());
        const char* lineEnd = static_cast<const char*>(std::memchr(span.data(), '\n', span.size()));
        const size_t taken = lineEnd ? size_t(lineEnd - span.data()) + 1 : span.size();
        if (const void* stop = std::memchr(span.data(), '\x1A', taken)) {
            piece_.append(span.data(), size_t(static_cast<const char*>(stop) - span.data()));
            ended_ = true;
            return;
        }
        piece_.append(span.data(), taken);
        bytes.remove_prefix(taken);
        if (lineEnd || piece_.size() == pieceSize_)
            hand(piece_, lineEnd != nullptr);
    }
}

namespace {

// How many of the first `most` UTF-16 units of `bytes` make the rest of a
// line: up to its line feed (`lineEnd` set), or all of them.
size_t unitsOfLine(std::string_view bytes, size_t most, bool little, bool& lineEnd) {
    const size_t limit = 2 * most;
    for (size_t from = 0; from < limit;) {
        const void* hit = std::memchr(bytes.data() + from, '\n', limit - from);
        if (!hit)
            break;
        const size_t at = size_t(static_cast<const char*>(hit) - bytes.data());
        if (little ? at % 2 == 0 && bytes[at + 1] == '\0' : at % 2 == 1 && bytes[at - 1] == '\0') {
            lineEnd = true;
            return at / 2 + 1;
        }
        from = at + 1;
    }
    lineEnd = false;
    return most;
}

}  // namespace

void OptionFileDecoder::feedWide(std::string_view bytes) {
    const bool little = form_ == OptionFileForm::utf16le;
    if (oddByte_ >= 0 && !bytes.empty()) {
        const int next = static_cast<unsigned char>(bytes[0]);
        widePiece_ += little ? char16_t(oddByte_ | (next << 8)) : char16_t((oddByte_ << 8) | next);
        oddByte_ = -1;
        bytes.remove_prefix(1);
        if (widePiece_.back() == u'\n' || widePiece_.size() == pieceSize_)
            handWide(widePiece_.back() == u'\n');
    }
    while (bytes.size() >= 2) {
        bool lineEnd = false;
        const size_t units = unitsOfLine(bytes, std::min(pieceSize_ - widePiece_.size(), bytes.size() / 2), little, lineEnd);
        const size_t old = widePiece_.size();
        widePiece_.resize(old + units);
        std::memcpy(&widePiece_[old], bytes.data(), 2 * units);
        if (little != (std::endian::native == std::endian::little))
            for (size_t i = old; i < widePiece_.size(); ++i)
                widePiece_[i] = char16_t((widePiece_[i] >> 8) | (widePiece_[i] << 8));
        bytes.remove_prefix(2 * units);
        if (lineEnd || widePiece_.size() == pieceSize_)
            handWide(lineEnd);
    }
    if (!bytes.empty())
        oddByte_ = static_cast<unsigned char>(bytes[0]);
}

void OptionFileDecoder::handWide(bool endsLine) {
    // A pair cut at the piece's end waits for the next piece.
    std::u16string carried;
    const char16_t last = widePiece_.back();
    if (!endsLine && last >= 0xD800 && last <= 0xDBFF) {
        carried = widePiece_.substr(widePiece_.size() - 1);
        widePiece_.pop_back();
    }
    std::string text = events_.narrow(widePiece_, line_);
    widePiece_ = carried;
    hand(text, endsLine);
}

void OptionFileDecoder::hand(std::string& text, bool endsLine) {
    const int line = line_;
    if (endsLine)
        ++line_;
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    if (trimOptionLine(text))
        events_.take(text, line);
    text.clear();
}

void OptionFileDecoder::finish() {
    if (!decided_)
        decide(true);
    if (!piece_.empty())
        hand(piece_, false);
    if (!widePiece_.empty()) {
        std::string text = events_.narrow(widePiece_, line_);
        widePiece_.clear();
        hand(text, false);
    }
}

void readOptionLines(std::FILE* file, const OptionFileDecoder::Events& events) {
    OptionFileDecoder decoder(events);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        decoder.feed(std::string_view(buffer, n));
    decoder.finish();
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

std::string escapedName(std::u16string_view name) {
    std::string out;
    for (const char16_t c : name) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            continue;
        }
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(c >> shift) & 0xF];
    }
    return out;
}

namespace {

// The archives of a folder the wildcard stands for, as the code page names them.
std::vector<std::string> folderArchives(const std::string& folder, const std::string& piece,
                                        const ArchiveSystem& system) {
    std::vector<FolderEntry> entries = system.list(folder);
    std::erase_if(entries, [](const FolderEntry& e) {
        constexpr std::u16string_view kJar = u".jar";
        return e.directory || e.name.size() <= kJar.size() ||
               !equalsIgnoringAsciiCase(std::u16string_view(e.name).substr(e.name.size() - kJar.size()), kJar);
    });
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const auto folded = [](char16_t x, char16_t y) { return lowerAscii(x) < lowerAscii(y); };
        if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), folded))
            return true;
        if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(), folded))
            return false;
        return a.name < b.name;
    });
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) {
        std::optional<std::string> name = system.narrow(e.name);
        if (!name && !e.shortName.empty())
            name = system.narrow(e.shortName);
        if (name)
            names.push_back(*name);
        else
            system.log("class path " + piece + ": " + escapedName(e.name) +
                       " left out: the ANSI code page lacks letters of its name, and it has no short name");
    }
    return names;
}

}  // namespace

ArchiveEntry expandArchiveEntry(std::string_view text, const ArchiveSystem& system) {
    ArchiveEntry entry;
    for (const std::string& piece : splitList(text)) {
        const std::optional<std::string> wildcard = classPathWildcardFolder(piece);
        if (!wildcard) {
            const std::string absolute = system.absolute(piece);
            entry.found = entry.found && system.exists(absolute);
            entry.paths.push_back(absolute);
            continue;
        }
        const std::string folder = withoutDotParts(system.absolute(*wildcard));
        const std::vector<std::string> archives = folderArchives(folder, piece, system);
        system.log("class path " + piece + ": " + std::to_string(archives.size()) + " archives in " + folder);
        entry.found = entry.found && !archives.empty();
        for (const std::string& name : archives) {
            entry.paths.push_back(folder + "\\" + name);
            system.log("  " + entry.paths.back());
        }
    }
    return entry;
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
