// Text rules for the names of the included files, free of the platform.
// Each rule comes for narrow text and for UTF-16 text (wchar_t on Windows):
// the launcher reads the names as characters, since in a double-byte code
// page the second byte of a character may be the backslash's byte.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The names an extraction handles, in order: the non-empty pieces of the
// ";"-separated list, at most `count` of them (none when `count` <= 0).
std::vector<std::string_view> includedFileNamesToHandle(std::string_view list, int32_t count);
std::vector<std::wstring_view> includedFileNamesToHandle(std::wstring_view list, int32_t count);

// Why `name` cannot be written below the temporary directory, or nullptr when
// it can. A name is a file name, or one directory name, a backslash and a
// file name; anything that could reach another place (an absolute path, a
// drive or stream, "." or "..", a device, a deeper level) is refused. With
// `anyDepth` (a launcher that keeps its files: a runtime needs deeper
// folders) any number of directory names may precede the file name, each
// held to the same rules.
const char* includedFileNameProblem(std::string_view name, bool anyDepth = false);
const char* includedFileNameProblem(std::wstring_view name, bool anyDepth = false);
