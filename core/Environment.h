// Reading the process environment whole, however long a value is.
#pragma once

#include <string>

// The variable's whole value; false when it is not defined (a defined but
// empty variable gives true and "").
bool readEnvironmentVariable(const char* name, std::string& value);
// The same in UTF-16, for values that are passed on or written back: the
// narrow copy would have lost every letter the code page lacks.
bool readEnvironmentVariable(const wchar_t* name, std::wstring& value);
// Sets the variable in the process environment and in the C runtime's copy
// (what getenv reads); null `value` removes it. False when the process
// environment refused it.
bool writeEnvironmentVariable(const wchar_t* name, const std::wstring* value);
