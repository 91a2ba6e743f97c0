#include "jvm/VariableText.h"

#include <cstring>

size_t replaceAllText(std::string& text, std::string_view pattern, std::string_view value,
                      const ExpandReport& report, size_t limit) {
    if (pattern.empty())
        return 0;
    size_t replaced = 0;
    size_t from = 0;
    std::string patternText;  // NUL-terminated copies for the report
    std::string valueText;
    for (size_t at; (at = text.find(pattern, from)) != std::string::npos;) {
        if (patternText.empty()) {
            patternText.assign(pattern);
            valueText.assign(value);
        }
        const size_t wouldBe = text.size() - pattern.size() + value.size();
        if (wouldBe > limit) {
            // A cut text would name another path or option without saying
            // so; the unexpanded one at least shows what was meant.
            if (report.refused)
                report.refused(patternText.c_str(), wouldBe, text.c_str());
            break;
        }
        text.replace(at, pattern.size(), value);
        ++replaced;
        if (report.expanded)
            report.expanded(patternText.c_str(), valueText.c_str(), text.c_str());
        from = at + value.size();
    }
    return replaced;
}

void replaceLauncherVariables(std::string& text, const LauncherValues& v,
                              const ExpandReport& report, size_t limit) {
    const std::string_view separator = ";";
    const struct {
        const char* pattern;
        std::string_view value;
    } table[] = {
        {"%KORVO_EXEDIR%", v.launcherDirectory},
        {"%VANDREL_EXEDIR%", v.launcherDirectory},
        {"%KORVO_TEMPDIR%", v.launcherTempDir},
        {"%VANDREL_TEMPDIR%", v.launcherTempDir},
        {"%KORVO_PATHLIST_SEPARATOR%", separator},
        {"%VANDREL_PATHLIST_SEPARATOR%", separator},
        {"%KORVO_JVM_HOME%", v.jvmHome},
        {"%VANDREL_JVM_HOME%", v.jvmHome},
        {"${KORVO_EXEDIR}", v.launcherDirectory},
        {"${VANDREL_EXEDIR}", v.launcherDirectory},
        {"${KORVO_TEMPDIR}", v.launcherTempDir},
        {"${VANDREL_TEMPDIR}", v.launcherTempDir},
        {"${KORVO_PATHLIST_SEPARATOR}", separator},
        {"${VANDREL_PATHLIST_SEPARATOR}", separator},
        {"${KORVO_JVM_HOME}", v.jvmHome},
        {"${VANDREL_JVM_HOME}", v.jvmHome},
        {"${launcher:sys.launcherDirectory}", v.launcherDirectory},
        {"${launcher:sys.launcherTempDirectory}", v.launcherTempDir},
        {"${launcher:sys.pathlistSeparator}", separator},
        {"${launcher:sys.jvmHome}", v.jvmHome},
    };
    for (const auto& entry : table)
        replaceAllText(text, entry.pattern, entry.value, report, limit);
    constexpr std::string_view tempPattern = "${launcher:sys.tempDir}";
    std::string found;
    if (v.findSystemTempDir && text.find(tempPattern) != std::string::npos)
        found = v.findSystemTempDir();
    replaceAllText(text, tempPattern, v.findSystemTempDir ? std::string_view(found) : v.systemTempDir, report,
                   limit);
}

bool mayHoldVariables(std::string_view text) { return text.find_first_of("%$") != std::string_view::npos; }

void upperCaseAscii(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
}

bool splitEnvironmentEntry(std::string_view entry, std::string_view& name, std::string_view& value) {
    const size_t equals = entry.size() > 1 ? entry.find('=', 1) : std::string_view::npos;
    if (equals == std::string_view::npos)
        return false;
    name = entry.substr(0, equals);
    value = entry.substr(equals + 1);
    return true;
}

void replaceEnvironmentVariables(std::string& text, const char* block, const ExpandReport& report,
                                 UpperCaseFn upperCase, size_t limit) {
    if (!block)
        return;
    std::string pattern, upper;
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        std::string_view name, value;
        if (!splitEnvironmentEntry(entry, name, value))
            continue;
        pattern.assign("${");
        pattern.append(name);
        pattern.push_back('}');
        replaceAllText(text, pattern, value, report, limit);
        upper = pattern;
        if (upperCase)
            upperCase(upper);
        else
            upperCaseAscii(upper);
        // A name already in upper case is not searched twice: a second pass
        // would expand a value that names its own variable once more.
        if (upper != pattern)
            replaceAllText(text, upper, value, report, limit);
    }
}
