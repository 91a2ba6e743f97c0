// Text rules of variable expansion, free of the platform: the values and the
// environment block come from the caller, so the order and bounds of the
// replacements can be tested natively.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Expanded texts live in buffers of 8192 bytes that keep their terminator.
constexpr size_t kExpandedTextLimit = 8191;

// Receives what the expansion did; either member may be null.
struct ExpandReport {
    // One call per replaced occurrence, with the whole text after it.
    void (*expanded)(const char* pattern, const char* value, const char* text) = nullptr;
    // A replacement that would have made the text longer than the limit; the
    // text keeps the pattern and the rest of its occurrences are left alone.
    void (*refused)(const char* pattern, size_t wouldBe, const char* text) = nullptr;
};

// Replaces every occurrence of `pattern`, searching on behind each inserted
// value, so a value holding its own pattern is not expanded again. A result
// longer than `limit` bytes is refused, never cut. Returns the number of
// occurrences replaced.
size_t replaceAllText(std::string& text, std::string_view pattern, std::string_view value,
                      const ExpandReport& report, size_t limit = kExpandedTextLimit);

// The values the launcher's own variables stand for.
struct LauncherValues {
    std::string_view launcherDirectory;  // with its trailing backslash
    std::string_view launcherTempDir;    // empty when there is none
    std::string_view jvmHome;            // empty until a runtime is chosen
    std::string_view systemTempDir;
    // When set, asked for the system temp directory only if the text still
    // names it once every other pattern is replaced: finding that directory
    // costs file-system calls, and most texts never name it.
    std::string (*findSystemTempDir)() = nullptr;
};

// True when the text may hold a pattern at all: each one begins with '%' or
// '$', launcher and environment patterns alike.
bool mayHoldVariables(std::string_view text);

// The fixed patterns, in the order in which they are replaced.
void replaceLauncherVariables(std::string& text, const LauncherValues& values,
                              const ExpandReport& report, size_t limit = kExpandedTextLimit);

// Upper-cases a "${Name}" pattern in place; the platform's rule for its code
// page, or the ASCII rule when null.
using UpperCaseFn = void (*)(std::string& pattern);

// Splits "Name=value". The name ends at the first "=" after its first
// character: the per-drive entries ("=C:=C:\dir") keep their leading "=".
// False for an entry without a name or without "=".
bool splitEnvironmentEntry(std::string_view entry, std::string_view& name, std::string_view& value);

// Every entry of an environment block (NUL-terminated entries, an empty one
// at the end), in the block's order: "${Name}", then the same upper-cased.
void replaceEnvironmentVariables(std::string& text, const char* block, const ExpandReport& report,
                                 UpperCaseFn upperCase = nullptr,
                                 size_t limit = kExpandedTextLimit);

void upperCaseAscii(std::string& text);
