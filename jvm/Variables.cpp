#include "jvm/Variables.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "jvm/VariableText.h"
#include "runtime/JvmState.h"
#include "services/TempDir.h"

namespace {

void logExpanded(const char* pattern, const char* value, const char* text) {
    logMessage("expanding %s to %s in %s.", pattern, value, text);
}

void logRefused(const char* pattern, size_t wouldBe, const char* text) {
    logError("expanding %s would make a text of %u bytes (at most %u); left unexpanded in %s",
             pattern, static_cast<unsigned>(wouldBe), static_cast<unsigned>(kExpandedTextLimit), text);
}

// Variable names are in the ANSI code page; the system's casing rule for it
// upper-cases them (kernel32's, so that expansion loads no user32).
void upperCaseAnsi(std::string& pattern) {
    if (pattern.empty() || pattern.size() > 0x7FFFFFFF)
        return;
    std::string upper(pattern.size(), '\0');
    const int n = LCMapStringA(LOCALE_INVARIANT, LCMAP_UPPERCASE, pattern.data(), static_cast<int>(pattern.size()),
                               upper.data(), static_cast<int>(upper.size()));
    if (n == static_cast<int>(pattern.size()))
        pattern = upper;
}

// Chosen again on every call, as TMP may have changed between two texts.
std::string systemTempDir() {
    char systemTemp[kTempPathCapacity];
    chooseTempPath(systemTemp, sizeof systemTemp);
    return systemTemp;
}

}  // namespace

void expandVariables(std::string& text) {
    if (!mayHoldVariables(text))
        return;
    LauncherValues values{launcherDirectory(), launcherTempDir, jvmHome, {}};
    values.findSystemTempDir = systemTempDir;
    ExpandReport report;
    report.expanded = logExpanded;
    report.refused = logRefused;
    replaceLauncherVariables(text, values, report);

    // Every environment pattern has the form "${NAME}": without "${" there
    // is nothing to find, and walking the whole environment costs more than
    // anything else here.
    if (text.find("${") == std::string::npos)
        return;
    char* block = GetEnvironmentStringsA();
    if (!block)
        return;
    replaceEnvironmentVariables(text, block, report, upperCaseAnsi);
    FreeEnvironmentStringsA(block);
}
