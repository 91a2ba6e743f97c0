#pragma once

#include <string>

// Replaces the launcher variables and the environment variables in `text`.
void expandVariables(std::string& text);
