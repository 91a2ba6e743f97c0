// What one search found and why it took none of it, for the log and for the
// "{2}" of the no-runtime messages: a user who has Java 11 while the
// application needs 17 reads that, not the text for a machine without Java.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct RefusedRuntime {
    std::string home;     // the runtime's top directory
    std::string version;  // empty: not known
    std::string reason;   // "too old", "32-bit", ...
};

// Notes one refusal; a home already noted keeps its first reason (the same
// runtime is often reached by several entries).
void noteRefusedRuntime(std::string_view home, std::string_view version, std::string_view reason);
const std::vector<RefusedRuntime>& refusedRuntimes();
void forgetRefusedRuntimes();

// "11.0.22 (too old) in c:\jdk-11; unknown version (...) in c:\rt", or
// "none". Cut at whole entries to at most `limit` bytes (limit >= 16), the
// rest counted ("and 3 more").
std::string describeRefusedRuntimes(const std::vector<RefusedRuntime>& runtimes, size_t limit);
// One entry in that form.
std::string describeRefusedRuntime(const RefusedRuntime& runtime);
