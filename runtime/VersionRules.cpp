#include "runtime/VersionRules.h"

namespace {

int compareBytes(unsigned char a, unsigned char b) { return a < b ? -1 : (a > b ? 1 : 0); }

template <typename T>
int compareValues(T a, T b) { return a < b ? -1 : (a > b ? 1 : 0); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits from `at` on; a number too large for 32 bits stays at the largest.
uint32_t readNumber(std::string_view text, size_t& at) {
    uint64_t value = 0;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        value = value * 10 + uint64_t(text[at] - '0');
        if (value > UINT32_MAX)
            value = UINT32_MAX;
    }
    return uint32_t(value);
}

void append(VersionNumbers& numbers, uint32_t value) {
    if (numbers.count < VersionNumbers::kMax)
        numbers.part[numbers.count++] = value;
}

// Number k, or 0 past the end.
uint32_t numberAt(const VersionNumbers& numbers, int k) { return k < numbers.count ? numbers.part[k] : 0; }

int compareOver(const VersionNumbers& a, const VersionNumbers& b, int count) {
    for (int k = 0; k < count; ++k)
        if (int c = compareValues(numberAt(a, k), numberAt(b, k)))
            return c;
    return 0;
}

}  // namespace

VersionNumbers parseVersionNumbers(std::string_view version) {
    VersionNumbers numbers;
    size_t at = 0;
    if (version.empty() || !isDigit(version[0]))
        return numbers;
    const bool legacy = version.size() > 2 && version[0] == '1' && version[1] == '.' && isDigit(version[2]);
    if (legacy)
        at = 2;
    append(numbers, readNumber(version, at));
    while (at + 1 < version.size() && version[at] == '.' && isDigit(version[at + 1])) {
        ++at;
        append(numbers, readNumber(version, at));
    }
    // The update of a legacy version is the third number: 1.8.0_402 is 8.0.402.
    if (legacy && at + 1 < version.size() && version[at] == '_' && isDigit(version[at + 1])) {
        ++at;
        while (numbers.count < 2)
            append(numbers, 0);
        const uint32_t update = readNumber(version, at);
        if (numbers.count > 2)
            numbers.part[2] = update;
        else
            append(numbers, update);
    }
    return numbers;
}

bool isNumericBound(std::string_view bound) {
    return !bound.empty() && isDigit(bound[0]) && bound.substr(0, 2) != "1.";
}

int compareVersionToNumericBound(std::string_view version, std::string_view bound) {
    const VersionNumbers v = parseVersionNumbers(version);
    if (v.count == 0)
        return -1;
    const VersionNumbers b = parseVersionNumbers(bound);
    return compareOver(v, b, b.count);
}

int compareVersionNumbers(std::string_view a, std::string_view b) {
    const VersionNumbers x = parseVersionNumbers(a);
    const VersionNumbers y = parseVersionNumbers(b);
    if (int c = compareOver(x, y, x.count > y.count ? x.count : y.count))
        return c;
    if (int c = compareValues(x.count, y.count))
        return c;
    return compareVersionText(a, b);
}

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
    const int toLower = isNumericBound(lower) ? compareVersionToNumericBound(version, lower)
                                              : compareVersionPrefix(version, lower);
    if (toLower < 0)
        return VersionVerdict::BelowLower;
    const int toUpper = isNumericBound(upper) ? compareVersionToNumericBound(version, upper)
                                              : compareVersionPrefix(version, upper);
    // A version without numbers is below a numeric upper bound too, but it
    // cannot be said to lie within it.
    if (toUpper > 0 || (isNumericBound(upper) && parseVersionNumbers(version).count == 0))
        return VersionVerdict::AboveUpper;
    return VersionVerdict::Accepted;
}

namespace {

// One bound of the looser rule, over the shorter of the two texts (legacy
// bound) or of the two counts of numbers (numeric bound). <0, 0 or >0.
int compareToBoundLoosely(std::string_view text, std::string_view bound) {
    if (isNumericBound(bound)) {
        const VersionNumbers t = parseVersionNumbers(text);
        const VersionNumbers b = parseVersionNumbers(bound);
        return compareOver(t, b, t.count < b.count ? t.count : b.count);
    }
    const size_t n = text.size() < bound.size() ? text.size() : bound.size();
    return compareVersionText(text.substr(0, n), bound.substr(0, n));
}

}  // namespace

bool isVersionInRange(std::string_view text, std::string_view lower, std::string_view upper) {
    return compareToBoundLoosely(text, lower) >= 0 && compareToBoundLoosely(text, upper) <= 0;
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

std::string firstTextLine(std::string_view raw, size_t capacity) {
    std::string line;
    for (size_t i = 0; i < raw.size() && line.size() + 1 < capacity; ++i) {
        const char c = raw[i];
        if (c == '\x1a')
            break;
        if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        line += c;
        if (c == '\n')
            break;
    }
    return line;
}

std::string reportedVersionOfKeyName(std::string_view name) {
    if (name.empty() || name.size() > 64)
        return std::string(name);
    for (char c : name)
        if (!isDigit(c) && c != '.')
            return std::string(name);
    if (name.back() == '.' || name.find("..") != std::string_view::npos)
        return std::string(name);
    uint32_t n[VersionNumbers::kMax] = {};
    int count = 0;
    for (size_t at = 0; at < name.size() && count < VersionNumbers::kMax;) {
        n[count++] = readNumber(name, at);
        if (at < name.size())
            ++at;  // the dot
    }
    // "1.8.0.212": the legacy form with a dot where the runtime writes "_".
    if (n[0] == 1) {
        if (count != 4)
            return std::string(name);
        return "1." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "_" + std::to_string(n[3]);
    }
    if (n[0] == 0)
        return std::string(name);
    if (n[0] <= 8) {
        std::string text = "1." + std::to_string(n[0]);
        if (count > 1)
            text += "." + std::to_string(n[1]);
        if (count > 2 && n[2] != 0)
            text += "_" + std::to_string(n[2]);
        return text;
    }
    // Since 9 the build number is no part of the version, and trailing
    // zeros are not printed: 17.0.0.35 is "17", 17.0.9.9 is "17.0.9".
    int used = count < 3 ? count : 3;
    while (used > 1 && n[used - 1] == 0)
        --used;
    std::string text = std::to_string(n[0]);
    for (int k = 1; k < used; ++k)
        text += "." + std::to_string(n[k]);
    return text;
}

std::string describeVersionRange(std::string_view lower, std::string_view upper) {
    if (lower.empty() && upper.empty())
        return "any version";
    if (upper.empty())
        return std::string(lower) + " or later";
    if (lower.empty())
        return std::string(upper) + " or earlier";
    if (lower == upper)
        return std::string(lower);
    return std::string(lower) + " to " + std::string(upper);
}

bool lowerBoundAdmitsBelowJavaHalf(std::string_view lower) {
    if (lower.empty())
        return true;
    if (isNumericBound(lower))
        return parseVersionNumbers(lower).part[0] < 8;
    return compareVersionText(lower, kJavaHalfLowestVersion) < 0;
}

std::string lowerBoundForJavaHalf(std::string_view lower) {
    return std::string(lowerBoundAdmitsBelowJavaHalf(lower) ? kJavaHalfLowestVersion : lower);
}

bool upperBoundBelowJavaHalf(std::string_view upper) {
    return !upper.empty() && judgeVersion("1.8.0", "", upper, true) == VersionVerdict::AboveUpper;
}
