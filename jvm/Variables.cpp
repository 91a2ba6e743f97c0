#include "jvm/Variables.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "jvm/JvmState.h"
#include "jvm/VariableText.h"
#include "services/TempDir.h"

namespace {

void logExpanded(const char* pattern, const char* value, const char* text) {
    logMessage("expanding %s to %s in %s.", pattern, value, text);
}

void logRefused(const char* pattern, size_t wouldBe, const char* text) {
    logError("expanding %s would make a text of %u bytes (at most %u); left unexpanded in %s",
             pattern, static_cast<unsigned>(wouldBe), static_cast<unsigned>(kExpandedTextLimit), text);
}

// Variable names are in the ANSI code page; its own rule upper-cases them.
void upperCaseAnsi(std::string& pattern) {
    if (!pattern.empty())
        CharUpperBuffA(pattern.data(), static_cast<DWORD>(pattern.size()));
}

}  // namespace

void expandVariables(std::string& text) {
    char systemTemp[kTempPathCapacity];
    chooseTempPath(systemTemp, sizeof systemTemp);
    const LauncherValues values{launcherDirectory(), launcherTempDir, jvmHome, systemTemp};
    ExpandReport report;
    report.expanded = logExpanded;
    report.refused = logRefused;
    replaceLauncherVariables(text, values, report);

    char* block = GetEnvironmentStringsA();
    if (!block)
        return;
    replaceEnvironmentVariables(text, block, report, upperCaseAnsi);
    FreeEnvironmentStringsA(block);
}
