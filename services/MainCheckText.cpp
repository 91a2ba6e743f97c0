#include "services/MainCheckMemory.h"


namespace {

constexpr std::string_view kClassPathOption = "-Djava.class.path=";
// Beyond this a class path is not worth the registry's room.
constexpr size_t kFingerprintMax = 32 * 1024;

// -D properties that decide where classes come from; the others (the
// launcher's own, which may name a new folder at each start) do not.
bool decidesClasses(std::string_view option) {
    if (option.substr(0, 2) != "-D")
        return true;
    static constexpr std::string_view kLoading[] = {"-Djava.class.path=", "-Djava.system.class.loader=",
                                                    "-Djava.ext.dirs=", "-Djava.endorsed.dirs="};
    for (std::string_view name : kLoading)
        if (option.substr(0, name.size()) == name)
            return true;
    return false;
}

void appendNumber(std::string& out, uint64_t value) {
    char digits[24];
    size_t n = 0;
    do
        digits[n++] = static_cast<char>('0' + value % 10);
    while ((value /= 10) != 0);
    while (n)
        out += digits[--n];
}

}  // namespace

std::string mainCheckFingerprint(std::string_view slashedMainClass, const std::deque<std::string>& vmOptions,
                                 std::string_view environmentOptions, EntryStamper stamp) {
    std::string out = "main ";
    out += slashedMainClass;
    out += '\n';
    std::string_view classPath;
    for (const std::string& option : vmOptions) {
        if (!decidesClasses(option))
            continue;
        if (std::string_view(option).substr(0, kClassPathOption.size()) == kClassPathOption)
            classPath = std::string_view(option).substr(kClassPathOption.size());
        out += "option ";
        out += option;
        out += '\n';
    }
    out += "environment ";
    out += environmentOptions;
    out += '\n';
    while (!classPath.empty()) {
        const size_t end = classPath.find(';');
        const std::string entry(classPath.substr(0, end));
        classPath = end == std::string_view::npos ? std::string_view() : classPath.substr(end + 1);
        if (entry.empty())
            continue;
        if (entry.back() == '*')
            return std::string();
        const EntryStamp found = stamp(entry);
        if (found.kind == EntryStamp::other)
            return std::string();
        out += "entry ";
        out += entry;
        if (found.kind == EntryStamp::file) {
            out += ' ';
            appendNumber(out, found.size);
            out += ' ';
            appendNumber(out, found.lastWrite);
        } else {
            out += " missing";
        }
        out += '\n';
        if (out.size() > kFingerprintMax)
            return std::string();
    }
    return out.size() > kFingerprintMax ? std::string() : out;
}
