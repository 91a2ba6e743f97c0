// Text rules of the runtime search and binding, free of the file system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One entry of the search sequence: its type letter and the text behind it.
struct SearchEntry {
    char letter;
    std::string text;
};

// Entries separated by ";"; empty entries are dropped, order is kept.
std::vector<SearchEntry> splitSearchSequence(std::string_view sequence);

// Non-empty parts of a ";"-separated list, in order.
std::vector<std::string> splitList(std::string_view list);

// Longer than one character and a drive ("x:") or a share ("\\") in front.
bool isAbsoluteLocation(std::string_view text);

// The directory of a java executable including its trailing backslash:
// "javaw.exe" (exact case) loses 9 characters, anything else 8.
std::string directoryPrefixOf(std::string_view javaExecutable);
// The same without the trailing backslash.
std::string binDirectoryOf(std::string_view javaExecutable);
// The runtime home as later stages see it: the directory prefix and "..".
std::string jvmHomeOf(std::string_view javaExecutable);
// "...\java.exe" becomes "...\javaw.exe": the last four characters (".exe")
// are replaced by "w.exe".
std::string windowedExecutableOf(std::string_view javaExecutable);

// Every `from` replaced by `to`.
std::string replaceChar(std::string_view text, char from, char to);

// Registry key of an executable's cached version, below HKEY_CURRENT_USER.
std::string versionCacheKey(std::string_view javaExecutable);

// The archives of a packed runtime, relative to its home, in the order they
// are unpacked; jsse.jar last, which older launchers take for the mark of an
// unpacked home.
extern const char* const packedArchives[7];
// The unpacker's command line, its own path first as every program expects.
std::string unpackCommandLine(std::string_view unpacker, std::string_view packedPath, std::string_view archivePath);

// PE header checks on raw bytes. The DOS header gives the offset of the PE
// signature; the signature is followed by the machine field.
bool peSignatureOffset(const unsigned char* dosHeader, size_t size, uint32_t& offset);
bool peMachineAt(const unsigned char* signature, size_t size, uint16_t& machine);
constexpr uint16_t peMachineI386 = 0x014C;
constexpr uint16_t peMachineAmd64 = 0x8664;
constexpr uint16_t peMachineArm64 = 0xAA64;

// The top directory of the runtime a java executable belongs to: the parent
// of its bin directory ("c:\jdk\jre\bin\java.exe" gives "c:\jdk\jre").
std::string runtimeRootOf(std::string_view javaExecutable);
// Where a runtime's release file may lie, nearest first: its top directory,
// and for the runtime inside a JDK up to 8 (a top directory named "jre") the
// JDK's top directory too.
std::vector<std::string> releaseFileCandidates(std::string_view javaExecutable);

// A value written with one pair of surrounding double quotes (a common hand
// edit of JAVA_HOME) without them; true when there were some.
bool stripSurroundingQuotes(std::string& value);
