#pragma once

#include <string>

// Replaces, in place, the launcher's variables ("${KORVO_EXEDIR}" and the
// like) and then every environment variable written as "${Name}" or with its
// name upper-cased. A replacement that would make the text longer than 8191
// bytes is not made (and logged as an error). Ends the launcher when no usable
// temporary directory exists.
void expandVariables(std::string& text);
