#include "tools/kvo-pack/ConfigCheck.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "core/AsciiCase.h"
#include "core/CommandLine.h"
#include "core/ConfigStore.h"
#include "core/WebAddress.h"
#include "jvm/OptionText.h"
#include "runtime/VersionRules.h"
#include "tools/kvo-pack/RecordNames.h"

namespace kvopack {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

// Findings by line, so that they read in the order of the file.
struct Found {
    std::vector<std::pair<int, std::string>> errors, warnings;
};

// Where a finding goes, and how a value of the code page is shown in it.
struct At {
    Found& found;
    const std::string& file;
    int line;
    const CodePage& page;

    std::string prefix() const { return file + (line ? ":" + std::to_string(line) : std::string()) + ": "; }
    void error(const std::string& message) const { found.errors.emplace_back(line, prefix() + message); }
    void warn(const std::string& message) const {
        found.warnings.emplace_back(line, prefix() + "warning: " + message);
    }
    std::string shown(std::string_view bytes) const {
        std::string out;
        for (const DecodedPiece& p : page.decode(bytes)) {
            if (!p.undecodable) {
                out += p.bytes;
                continue;
            }
            static const char hex[] = "0123456789ABCDEF";
            const unsigned char c = static_cast<unsigned char>(p.bytes[0]);
            out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        }
        return out;
    }
};

std::string quoted(const At& at, std::string_view value) { return "'" + at.shown(value) + "'"; }

// --- one check per kind of value -----------------------------------------

void checkNumber(const RecordName& r, std::string_view v, const At& at) {
    const size_t digits = !v.empty() && (v[0] == '-' || v[0] == '+') ? 1 : 0;
    if (digits < v.size() && isDigit(v[digits])) {
        size_t end = digits;
        while (end < v.size() && isDigit(v[end]))
            ++end;
        if (end < v.size())
            at.warn(std::string(r.name) + " reads as " + std::to_string(parseConfigInt(v)) +
                    "; the launcher ignores " + quoted(at, v.substr(end)));
        return;
    }
    if (r.kind == ValueKind::flag)
        at.error(std::string(r.name) + " is a switch; " + quoted(at, v) +
                 " would read as 0 (off): write 1 for on or 0 for off, like '" + std::string(r.example) + "'");
    else
        at.error(std::string(r.name) + " is a number; " + quoted(at, v) + " would read as 0: write it like '" +
                 std::string(r.example) + "'. " + std::string(r.meaning));
}

void checkColour(const RecordName& r, std::string_view v, const At& at) {
    const std::vector<std::string_view> parts = split(v, ',');
    bool good = parts.size() == 3;
    for (std::string_view part : parts) {
        part = trimBlanks(part);
        good = good && !part.empty() && part.size() <= 3;
        for (char c : part)
            good = good && isDigit(c);
        good = good && parseConfigInt(part) <= 255;
    }
    if (!good)
        at.error(std::string(r.name) + " is a colour; " + quoted(at, v) +
                 " is not three numbers from 0 to 255 for red, green and blue: write it like '" +
                 std::string(r.example) + "'");
}

bool isVersionBound(std::string_view v) {
    if (v.empty() || !isDigit(v[0]))
        return false;
    // "1." opens the old form, which needs its second number.
    return !v.starts_with("1.") || (v.size() > 2 && isDigit(v[2]));
}

void checkVersion(const RecordName& r, std::string_view v, const At& at) {
    if (isVersionBound(v))
        return;
    std::string message = std::string(r.name) + " " + quoted(at, v) +
                          " is no Java version: write a number such as 11 or 17.0.2, or the old form 1.8";
    const size_t digit = v.find_first_of("0123456789");
    if (digit != std::string_view::npos && isVersionBound(v.substr(digit)))
        message += " (" + std::string(r.name) + " = " + at.shown(v.substr(digit)) + "?)";
    at.error(message);
}

// A letter the launcher would ignore or misread: a blank in front, a small
// letter, or no letter at all.
std::string entryLetterProblem(std::string_view entry, std::string_view letters, const At& at) {
    const char first = entry[0];
    if (isBlank(first))
        return quoted(at, entry) + " begins with a blank, and the launcher would skip it: remove the blank";
    if (first >= 'a' && first <= 'z' && letters.find(char(first - 'a' + 'A')) != std::string_view::npos)
        return quoted(at, entry) + " begins with a small letter; type letters are capitals: write " +
               char(first - 'a' + 'A') + at.shown(entry.substr(1));
    return {};
}

bool endsInWildcard(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    const std::string_view last = cut == std::string_view::npos ? path : path.substr(cut + 1);
    return last == "*" || (last.size() == 5 && last[0] == '*' && last[1] == '.' &&
                           (last.substr(2) == "jar" || last.substr(2) == "JAR" || last.substr(2) == "Jar"));
}

// The variable a reference names ("JAVA_HOME" of "%JAVA_HOME%" or
// "${JAVA_HOME}"); the text itself when it is no reference.
std::string_view referencedVariable(std::string_view text) {
    if (text.starts_with("${") && text.ends_with("}") && text.size() > 3)
        return text.substr(2, text.size() - 3);
    if (text.size() > 2 && text.front() == '%' && text.back() == '%')
        return text.substr(1, text.size() - 2);
    return text;
}

// An E entry names its variable; a reference to it, or a folder, is a
// mistake the launcher would pass over without a word.
void checkVariableName(const std::string& record, std::string_view entry, std::string_view variable,
                       const std::string& folderLetters, const At& at) {
    const std::string_view bare = referencedVariable(variable);
    if (bare != variable)
        at.error(record + " entry " + quoted(at, entry) + " refers to the variable; an E entry names it: write " +
                 at.shown(entry.substr(0, entry.size() - variable.size())) + at.shown(bare));
    else if (variable.find_first_of("\\/:.") != std::string_view::npos)
        at.error(record + " entry " + quoted(at, entry) + ": an E entry names an environment variable; for a folder write " +
                 folderLetters + at.shown(variable));
}

// Where a second entry follows a path after "," or ":" instead of ";"
// ("A0a.jar,A0b.jar"): the offset of that separator, or npos.
size_t glued(std::string_view path) {
    for (size_t i = 0; i + 2 < path.size(); ++i)
        if ((path[i] == ',' || path[i] == ':') && std::string_view("ADSE").find(path[i + 1]) != std::string_view::npos &&
            (path[i + 2] == '0' || path[i + 2] == '1'))
            return i;
    return std::string_view::npos;
}

void checkClassPath(const RecordName& r, std::string_view v, const At& at) {
    const std::string name(r.name);
    for (std::string_view entry : split(v, ';')) {
        if (entry.empty())
            continue;
        const std::string problem = entryLetterProblem(entry, "ADSE", at);
        if (!problem.empty()) {
            at.error(name + " entry " + problem);
        } else if (std::string_view("ADSE").find(entry[0]) == std::string_view::npos) {
            at.error(name + " entry " + quoted(at, entry) +
                     " has no type letter: write A0" + at.shown(entry) +
                     " (type A an archive, D a folder of classes, S a folder whose archives all count, "
                     "E an environment variable; then 1 mandatory or 0 optional; then the path)");
        } else if (entry.size() < 2 || (entry[1] != '0' && entry[1] != '1')) {
            at.error(name + " entry " + quoted(at, entry) + " has no mandatory flag after its type letter" +
                     (entry.size() < 2 ? std::string() : ", so its path would lose its first character") +
                     ": write " + entry[0] + "0" + at.shown(entry.substr(1)) + " (0 optional, 1 mandatory)");
        } else if (entry.size() == 2) {
            at.error(name + " entry " + quoted(at, entry) + " names nothing: write a path behind " +
                     at.shown(entry) + ", like " + at.shown(entry) + ".\\lib\\app.jar");
        } else if ((entry[0] == 'D' || entry[0] == 'S') && endsInWildcard(entry.substr(2))) {
            at.error(name + " entry " + quoted(at, entry) + ": only A entries stand for every archive of a folder: write A" +
                     at.shown(entry.substr(1)));
        } else if (entry[0] == 'E') {
            checkVariableName(name, entry, entry.substr(2), "A" + std::string(1, entry[1]), at);
        } else if (const size_t next = glued(entry.substr(2)); next != std::string_view::npos) {
            at.error(name + " entries are separated by \";\": write " + at.shown(entry.substr(0, 2 + next)) + ";" +
                     at.shown(entry.substr(3 + next)));
        }
    }
}

void checkSearchSequence(const RecordName& r, std::string_view v, const At& at) {
    const std::string name(r.name);
    for (std::string_view entry : split(v, ';')) {
        if (entry.empty())
            continue;
        const std::string problem = entryLetterProblem(entry, "ABERSY", at);
        if (!problem.empty()) {
            at.error(name + " entry " + problem);
            continue;
        }
        if (std::string_view("ABERSY").find(entry[0]) == std::string_view::npos) {
            // A name in capitals is a variable, and so is a reference to
            // one (%JAVA_HOME%, ${JAVA_HOME}); anything else a folder.
            const std::string_view named = referencedVariable(entry);
            const bool reference = named.size() != entry.size();
            bool variable = !named.empty();
            for (char c : named)
                variable = variable && ((c >= 'A' && c <= 'Z') || (reference && c >= 'a' && c <= 'z') || c == '_' ||
                                        isDigit(c));
            at.error(name + " entry " + quoted(at, entry) + " has no type letter: write " +
                     (variable ? "E" + at.shown(named) : "B" + at.shown(entry)) +
                     " (B a runtime folder beside the launcher, also taken when its version does not "
                     "fit; A or R another folder; E an environment variable; S the PATH; Y the registry)");
        } else if (entry[0] == 'E' && entry.size() == 1) {
            at.error(name + " entry 'E' names no environment variable: write EJAVA_HOME, for instance");
        } else if (entry[0] == 'E') {
            checkVariableName(name, entry, entry.substr(1), "B", at);
        }
    }
}

void checkClassName(const RecordName& r, std::string_view v, const At& at) {
    const bool hasBadCharacter = v.find_first_of(" \t\\/") != std::string_view::npos;
    if (v.empty())
        at.error(std::string(r.name) + " is empty, so the launcher would start no application: write it like '" +
                 std::string(r.example) + "'");
    else if (hasBadCharacter || v.ends_with(".class") || v.ends_with(".java") || v.front() == '.' ||
             v.back() == '.')
        at.error(std::string(r.name) + " " + quoted(at, v) +
                 " is no class name: write the dotted name of the class with main, like '" +
                 std::string(r.example) + "'");
}

// One option as the launcher hands it to the VM (its words already joined):
// what the VM would drop without a word or refuse to start with. `source`
// names where it stands ("VmOptions").
void checkVmOption(const std::string& source, std::string_view t, const At& at) {
    const std::string_view word = t.substr(0, t.find_first_of(" \t"));
    if (word == "-cp" || word == "-classpath" || word == "--class-path" || word == "-jar") {
        at.error(source + ": " + std::string(word) +
                 " is no VM option, and the JVM would drop it: put the archives into ClassPath (A0.\\lib\\*)");
    } else if (t.starts_with("-Xmx") || t.starts_with("-Xms")) {
        const std::string_view size = t.substr(4);
        bool digits = !size.empty() && size.size() <= 7;
        for (char c : size)
            digits = digits && isDigit(c);
        if (size.empty())
            at.error(source + ": " + std::string(t) + " needs its size joined to it, like " +
                     std::string(t.substr(0, 4)) + "512m");
        else if (digits && parseConfigInt(size) < 1024 * 1024)
            at.error(source + ": " + std::string(t) + " asks for " + std::string(size) +
                     " bytes, and the JVM would not start: write " + std::string(t) + "m for megabytes");
    } else if (const std::string_view vmName = separateValueOption(t); !vmName.empty()) {
        at.warn(source + ": " + std::string(t) + " has no value, so the VM ignores it: write " + std::string(vmName) +
                "=VALUE");
    } else if (const char* advice = javaCommandOnlyAdvice(t)) {
        at.warn(source + ": " + std::string(t) + " is read by the java command only, so the VM ignores it: " + advice);
    }
}

// The texts the launcher makes of VmOptions: split by its own splitter,
// module options and "-include-options" joined to their values.
std::vector<std::string> vmOptionTexts(std::string_view value, const At& at) {
    WideArgs words;
    splitArguments(utf8ToUtf16(at.shown(value)), words);
    NarrowArgs texts;
    for (const std::u16string& w : words)
        texts.push_back(utf16ToUtf8(w));
    return joinOptionWords(texts, true);
}

void checkVmOptions(const RecordName& r, std::string_view v, const At& at) {
    for (const std::string& text : vmOptionTexts(v, at))
        if (classifyOptionLine(text).kind == OptionLineKind::option)
            checkVmOption(std::string(r.name), text, at);
}

// "%JAVA_HOME%" stays as written: only the launcher's own places have that
// form; environment variables are "${JAVA_HOME}".
void warnUnexpandedPercent(const RecordName& r, std::string_view v, const At& at) {
    static constexpr std::string_view kOwn[] = {"KORVO_EXEDIR",  "VANDREL_EXEDIR",  "KORVO_TEMPDIR",
                                                "VANDREL_TEMPDIR", "KORVO_PATHLIST_SEPARATOR",
                                                "VANDREL_PATHLIST_SEPARATOR", "KORVO_JVM_HOME", "VANDREL_JVM_HOME"};
    for (size_t open = v.find('%'); open != std::string_view::npos; open = v.find('%', open + 1)) {
        const size_t close = v.find('%', open + 1);
        if (close == std::string_view::npos)
            return;
        const std::string_view word = v.substr(open + 1, close - open - 1);
        bool isName = word.size() > 1 && !isDigit(word[0]);
        for (char c : word)
            isName = isName && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || isDigit(c));
        if (!isName)
            continue;
        if (std::find(std::begin(kOwn), std::end(kOwn), word) == std::end(kOwn)) {
            at.warn(std::string(r.name) + ": %" + std::string(word) + "% is left as written; an environment variable is " +
                    "written ${" + std::string(word) + "}");
            return;
        }
        open = close;
    }
}

void checkWebAddress(const RecordName& r, std::string_view v, const At& at) {
    if (isWebAddress(v))
        return;
    // Configurations made before the record named an address hold a 0 there.
    if (v.find_first_not_of("0123456789") == std::string_view::npos) {
        at.warn(std::string(r.name) + " " + quoted(at, v) + " is no address, and the launcher offers none: write "
                "an address such as '" + std::string(r.example) + "', or remove the line");
        return;
    }
    std::string message = std::string(r.name) + " " + quoted(at, v) + " is no address the launcher would open: ";
    if (v.size() > kWebAddressMax)
        message += "it is longer than " + std::to_string(kWebAddressMax) + " characters";
    else if (v.find("://") == std::string_view::npos)
        message += "write it with http:// or https://, like https://" + at.shown(v);
    else
        message += "write an http:// or https:// address of printable ASCII (blanks as %20, other characters "
                   "%-encoded), like '" + std::string(r.example) + "'";
    at.error(message);
}

using ValueCheck = void (*)(const RecordName&, std::string_view, const At&);

struct KindCheck {
    ValueKind kind;
    ValueCheck check;
    bool evenEmpty;  // an empty value is a mistake too, not the record's absence
};

constexpr KindCheck kKindChecks[] = {
    {ValueKind::number, checkNumber, false},
    {ValueKind::flag, checkNumber, false},
    {ValueKind::colour, checkColour, false},
    {ValueKind::version, checkVersion, false},
    {ValueKind::classPath, checkClassPath, false},
    {ValueKind::searchSequence, checkSearchSequence, false},
    {ValueKind::className, checkClassName, true},
    {ValueKind::vmOptions, checkVmOptions, false},
    {ValueKind::webAddress, checkWebAddress, false},
};

// Records whose text the launcher expands.
constexpr int32_t kExpanded[] = {rec::ClassPath,       rec::VmOptions,        rec::Arguments,
                                 rec::JreSearchSequence, rec::WorkingDirectory, rec::NativeLibraryPath,
                                 rec::OutputFile1,     rec::OutputFile2};

// The version in which a runtime that meets `lower` first reports itself;
// up to Java 8 runtimes report the old form too ("1.8.0_402" for 8u402).
std::vector<std::string> lowestVersionsMeeting(std::string_view lower) {
    std::vector<std::string> versions{std::string(lower)};
    if (isNumericBound(lower)) {
        const VersionNumbers n = parseVersionNumbers(lower);
        if (n.count > 0 && n.part[0] <= 8)
            versions.push_back("1." + std::string(lower));
    }
    return versions;
}

ConfigFindings inFileOrder(Found& found) {
    ConfigFindings findings;
    const auto order = [](std::vector<std::pair<int, std::string>>& list, std::vector<std::string>& out) {
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& entry : list)
            out.push_back(std::move(entry.second));
    };
    order(found.errors, findings.errors);
    order(found.warnings, findings.warnings);
    return findings;
}

}  // namespace

struct OptionsFileCheck::State {
    State(std::string name, const CodePage& codePage)
        : file(std::move(name)), page(codePage),
          decoder({{}, [this](std::u16string_view piece, int line) { return narrow(piece, line); },
                   [this](std::string& line, int number) { take(line, number); }}) {}

    // As the launcher narrows a UTF-16 line: up to the first character the
    // code page lacks, which ends the option there.
    std::string narrow(std::u16string_view piece, int line) {
        const std::string utf8 = utf16ToUtf8(piece);
        std::string bytes;
        char32_t bad = 0;
        if (page.encode(utf8, bytes, bad))
            return bytes;
        std::string missing;
        appendUtf8(missing, bad);
        At{found, file, line, page}.error(describeChar(bad) + " has no form in code page " + page.name() +
                                          ", and the launcher would end the option before it");
        bytes.clear();
        page.encode(utf8.substr(0, utf8.find(missing)), bytes, bad);
        return bytes;
    }

    void take(std::string_view line, int number) {
        for (const std::string& text : lines.take(line))
            check(text, number);
        lastLine = number;
    }

    void check(const std::string& text, int line) {
        if (classifyOptionLine(text).kind == OptionLineKind::option)
            checkVmOption("option", text, At{found, file, line, page});
    }

    std::string file;
    const CodePage& page;
    Found found;
    OptionFileLines lines;
    int lastLine = 0;
    OptionFileDecoder decoder;
};

OptionsFileCheck::OptionsFileCheck(std::string fileName, const CodePage& page)
    : state_(std::make_unique<State>(std::move(fileName), page)) {}

OptionsFileCheck::~OptionsFileCheck() = default;

void OptionsFileCheck::feed(std::string_view bytes) { state_->decoder.feed(bytes); }

ConfigFindings OptionsFileCheck::finish() {
    state_->decoder.finish();
    for (const std::string& text : state_->lines.finish())
        state_->check(text, state_->lastLine);
    return inFileOrder(state_->found);
}

bool isOptionsFileName(std::string_view name) {
    constexpr std::string_view kExtension = ".vmoptions";
    return name.size() > kExtension.size() &&
           equalsIgnoringAsciiCase(name.substr(name.size() - kExtension.size()), kExtension);
}

ConfigFindings checkConfig(const PackConfig& config, std::string_view fileName, const CodePage& page) {
    Found found;
    const std::string file(fileName);
    const auto at = [&](int line) { return At{found, file, line, page}; };

    // The launcher takes the last of several records with one id.
    std::map<int32_t, const NarrowRecord*> effective;
    for (const NarrowRecord& r : config.records.narrow)
        effective[r.id] = &r;

    for (const auto& [id, record] : effective) {
        const RecordName* known = findRecordById(id);
        const std::string_view value = trimBlanks(record->value);
        const size_t limit = known ? known->maxBytes : 8191;
        if (record->value.size() > limit) {
            const std::string text = (known ? std::string(known->name) : "record " + std::to_string(id)) + " has " +
                                     std::to_string(record->value.size()) + " bytes; the launcher reads " +
                                     std::to_string(limit) + " and would cut it there";
            // Only a record the launcher reads changes what it does when cut.
            known ? at(record->line).error(text) : at(record->line).warn(text);
        }
        if (!known)
            continue;
        for (const KindCheck& k : kKindChecks)
            if (k.kind == known->kind && (k.evenEmpty || !value.empty()))
                k.check(*known, value, at(record->line));
        if (std::find(std::begin(kExpanded), std::end(kExpanded), id) != std::end(kExpanded))
            warnUnexpandedPercent(*known, value, at(record->line));
    }

    if (!effective.count(rec::ExecutableType))
        at(0).warn("no ExecutableType: the launcher reads 0, a console program, and writes its errors to standard "
                   "error; started from Explorer, where it has none, it shows them in dialogs instead. Write "
                   "ExecutableType = 1 for a GUI application");

    const auto unread = [&](int32_t id) {
        return std::find(config.unreadRecords.begin(), config.unreadRecords.end(), id) != config.unreadRecords.end();
    };
    if (!effective.count(rec::MainClass) && !unread(rec::MainClass))
        at(0).error("no MainClass: the launcher would start no application; add a line such as "
                    "'MainClass = com.example.app.Main'");

    const auto min = effective.find(rec::MinJavaVersion);
    const auto max = effective.find(rec::MaxJavaVersion);
    bool boundsExclude = false;
    if (min != effective.end() && max != effective.end()) {
        const std::string_view lower = trimBlanks(min->second->value);
        const std::string_view upper = trimBlanks(max->second->value);
        bool satisfiable = false;
        for (const std::string& v : lowestVersionsMeeting(lower))
            satisfiable = satisfiable || judgeVersion(v, "", upper, true) == VersionVerdict::Accepted;
        boundsExclude = isVersionBound(lower) && isVersionBound(upper) && !satisfiable;
        if (boundsExclude)
            at(min->second->line)
                .error("MinJavaVersion " + quoted(at(0), lower) + " is above MaxJavaVersion " +
                       quoted(at(0), upper) + " (line " + std::to_string(max->second->line) +
                       "), so no runtime can be accepted: swap them, or raise MaxJavaVersion");
    }

    // kvo-runtime.jar consists of class files of Java 8. (Bounds that
    // exclude each other are refused already.)
    if (config.includeRuntime && !boundsExclude) {
        if (max != effective.end() && isVersionBound(trimBlanks(max->second->value)) &&
            upperBoundBelowJavaHalf(trimBlanks(max->second->value)))
            at(max->second->line)
                .error("MaxJavaVersion " + quoted(at(0), trimBlanks(max->second->value)) +
                       " admits only runtimes older than Java 8, on which kvo-runtime.jar (the launcher's Java "
                       "half) cannot run: write MaxJavaVersion = 1.8 or later, or leave the Java half out "
                       "([kvo-runtime] include = no) and bring a launcher class of your own");
        if (min != effective.end() && isVersionBound(trimBlanks(min->second->value)) &&
            lowerBoundAdmitsBelowJavaHalf(trimBlanks(min->second->value)))
            at(min->second->line)
                .warn("MinJavaVersion " + quoted(at(0), trimBlanks(min->second->value)) +
                      " admits runtimes older than Java 8, on which kvo-runtime.jar cannot run; the launcher "
                      "takes 1.8 as the lower bound instead: write MinJavaVersion = 1.8");
    }

    // The launcher class redirects a stream only when its switch is on.
    for (const auto& [file, enabled, stream] : {std::tuple{rec::OutputFile1, rec::OutputFile1Enabled, "System.out"},
                                                std::tuple{rec::OutputFile2, rec::OutputFile2Enabled, "System.err"}}) {
        const auto named = effective.find(file);
        if (named == effective.end() || trimBlanks(named->second->value).empty() || effective.count(enabled))
            continue;
        const RecordName* fileName = findRecordById(file);
        const RecordName* switchName = findRecordById(enabled);
        at(named->second->line)
            .warn(std::string(fileName->name) + " names a file, but without " + std::string(switchName->name) +
                  " = 1 the application's " + stream + " does not go there: add that line");
    }

    const auto on = [&](int32_t id) {
        const auto found = effective.find(id);
        return found != effective.end() && parseConfigInt(found->second->value) != 0;
    };
    if (on(rec::SplashEnabled)) {
        const bool library = on(rec::JavaSplashLibrary);
        const char* setting = library ? "splash-image" : "splash-bitmap";
        if (!(library ? config.resources.splashImage : config.resources.splashBitmap))
            at(effective[rec::SplashEnabled]->line)
                .warn(std::string("SplashEnabled is on, but [resources] names no ") + setting +
                      ", so the launcher has no image and shows no splash: add '" + setting +
                      " = splash.png' under [resources], or write SplashEnabled = 0");
    }

    // The launcher reads its settings from the narrow records only; message
    // texts from every section.
    const auto carriedOnly = [&](const WideRecord& r, const std::string& section) {
        if (const RecordName* known = findRecordById(r.id))
            at(r.line).warn(std::string(known->name) + " in " + section +
                            " is carried in the launcher but never read: the launcher takes its settings "
                            "from the lines above the first section (or after [narrow])");
    };
    for (const WideRecord& r : config.records.wide)
        carriedOnly(r, "the [wide] section");
    for (const LocaleSection& s : config.records.locales)
        for (const WideRecord& r : s.records)
            carriedOnly(r, "the locale section of line " + std::to_string(s.line));

    // {3} of 1016 is the download address; without one it stays as written.
    const auto address = effective.find(rec::JavaDownloadUrl);
    if (address == effective.end() || !isWebAddress(trimBlanks(address->second->value))) {
        const auto warnAddress = [&](int line) {
            at(line).warn("message 1016 holds {3}, the download address, but there is no JavaDownloadUrl: the "
                          "launcher shows {3} as written; add a line such as 'JavaDownloadUrl = https://example.com/java'");
        };
        if (const auto n = effective.find(msg::NoJvm); n != effective.end() && n->second->value.find("{3}") != std::string::npos)
            warnAddress(n->second->line);
        for (const WideRecord& r : config.records.wide)
            if (r.id == msg::NoJvm && r.value.find(u"{3}") != std::u16string::npos)
                warnAddress(r.line);
        for (const LocaleSection& s : config.records.locales)
            for (const WideRecord& r : s.records)
                if (r.id == msg::NoJvm && r.value.find(u"{3}") != std::u16string::npos)
                    warnAddress(r.line);
    }

    // What the parser could not read, among the rest in file order.
    for (const LineMistake& m : config.mistakes)
        found.errors.emplace_back(m.line, m.text);

    return inFileOrder(found);
}

}  // namespace kvopack
