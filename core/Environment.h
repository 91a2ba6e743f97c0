// Reading the process environment whole, however long a value is.
#pragma once

#include <string>

// The variable's whole value; false when it is not defined (a defined but
// empty variable gives true and "").
bool readEnvironmentVariable(const char* name, std::string& value);
