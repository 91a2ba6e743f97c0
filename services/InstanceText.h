// Text rules of instance identity, free of the platform: the semaphore name
// an executable goes by, and the argument text a second start hands over.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Longest semaphore name the launcher builds, terminator included.
constexpr size_t kInstanceNameCapacity = 8192;

// How long a second start waits for the running instance to take its file:
// 200 looks 50 ms apart, probing that the instance still runs every fifth.
constexpr int kHandOverWaitRounds = 200;
constexpr unsigned kHandOverWaitStepMs = 50;
constexpr int kHandOverProbeEvery = 5;

// The namespace prefix, then the canonical lower-cased launcher path with
// every backslash and space turned into "_", then `number` in decimal unless
// it is negative. False (and `out` empty) when the name does not fit.
bool buildInstanceName(char* out, size_t capacity, std::string_view canonicalPath, bool global,
                       long number);

// Where the arguments begin in a process command line: behind the program
// name (quoted or not) and the blanks after it. The length of the text when
// there are none.
size_t argumentsOffset(std::u16string_view commandLine);

// What a second start writes for the running instance: its arguments and a
// line feed, as UTF-16 little-endian bytes without byte-order mark.
std::string handOverBytes(std::u16string_view commandLine);
