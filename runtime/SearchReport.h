// What one search found and why it took none of it, for the log and for the
// "{2}" of the no-runtime messages: a user who has Java 11 while the
// application needs 17 reads that, not the text for a machine without Java.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RefusedRuntime {
    std::string home;     // the runtime's top directory
    std::string version;  // empty: not known
    std::string reason;   // "too old", "64-bit; this is the 32-bit launcher", ...
    // "64-bit", "ARM64": built for a machine this launcher cannot load
    // libraries of; empty for every other reason.
    std::string otherWidth = {};
};

// Notes one refusal; a home already noted keeps its first reason (the same
// runtime is often reached by several entries).
void noteRefusedRuntime(std::string_view home, std::string_view version, std::string_view reason,
                        std::string_view otherWidth = {});
const std::vector<RefusedRuntime>& refusedRuntimes();
void forgetRefusedRuntimes();

// "11.0.22 (too old) in c:\jdk-11; unknown version (...) in c:\rt", or
// "none". Cut at whole entries to at most `limit` bytes (limit >= 16), the
// rest counted ("and 3 more").
std::string describeRefusedRuntimes(const std::vector<RefusedRuntime>& runtimes, size_t limit);
// One entry in that form.
std::string describeRefusedRuntime(const RefusedRuntime& runtime);

// A PE machine in words: "32-bit", "64-bit", "ARM64", "machine 0x1234".
std::string machineWidth(uint16_t machine);
// Why a runtime of another machine is refused: "64-bit; this is the 32-bit
// launcher".
std::string otherWidthReason(std::string_view width, std::string_view launcherBits);

// When runtimes were found and each is of a width this launcher cannot
// load, that in a sentence ("A 64-bit Java was found in c:\app\jre; this is
// the 32-bit launcher, which needs a 32-bit Java."); otherwise "". A user
// who has Java at the wrong width needs to read that, not "damaged".
std::string otherWidthNote(const std::vector<RefusedRuntime>& runtimes, std::string_view launcherBits);
