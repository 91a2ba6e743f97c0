#include "runtime/VersionRules.h"

namespace {

int compareBytes(unsigned char a, unsigned char b) { return a < b ? -1 : (a > b ? 1 : 0); }

}  // namespace

bool isBetaVersion(std::string_view version) {
    return version.find("beta") != std::string_view::npos ||
           version.find("ea") != std::string_view::npos ||
           version.find("rc") != std::string_view::npos;
}

int compareVersionPrefix(std::string_view version, std::string_view bound) {
    for (size_t i = 0; i < bound.size(); ++i) {
        if (i >= version.size())
            return -1;
        if (int c = compareBytes(static_cast<unsigned char>(version[i]),
                                 static_cast<unsigned char>(bound[i])))
            return c;
    }
    return 0;
}

VersionVerdict judgeVersion(std::string_view version, std::string_view lower,
                            std::string_view upper, bool betaAllowed) {
    if (!betaAllowed && isBetaVersion(version))
        return VersionVerdict::Beta;
    if (compareVersionPrefix(version, lower) < 0)
        return VersionVerdict::BelowLower;
    if (compareVersionPrefix(version, upper) > 0)
        return VersionVerdict::AboveUpper;
    return VersionVerdict::Accepted;
}

bool isVersionInRange(std::string_view text, std::string_view lower, std::string_view upper) {
    const size_t nLower = text.size() < lower.size() ? text.size() : lower.size();
    if (compareVersionText(text.substr(0, nLower), lower.substr(0, nLower)) < 0)
        return false;
    const size_t nUpper = text.size() < upper.size() ? text.size() : upper.size();
    return compareVersionText(text.substr(0, nUpper), upper.substr(0, nUpper)) <= 0;
}

int compareVersionText(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
        if (int c = compareBytes(static_cast<unsigned char>(a[i]), static_cast<unsigned char>(b[i])))
            return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool parseVersionLine(std::string_view line, std::string& version) {
    static constexpr std::string_view prefixes[] = {"java version \"", "openjdk version \""};
    for (std::string_view prefix : prefixes) {
        if (line.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = line.substr(prefix.size());
        const size_t quote = rest.find('"');
        if (quote != std::string_view::npos) {
            rest = rest.substr(0, quote);
        } else {
            while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r'))
                rest.remove_suffix(1);
        }
        if (rest.empty())
            return false;
        version.assign(rest);
        return true;
    }
    return false;
}
