// Texts of the message records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Replaces the first "{0}", "{1}" and "{2}" of `text` by the argument of the
// same number; a null argument leaves its placeholder as it is. Arguments
// are never searched themselves, so a path holding "{1}" stays that path.
std::string fillPlaceholders(std::string_view text, const char* arg0, const char* arg1, const char* arg2);

// The English text a message record has when the configuration leaves it
// out (or empty), so that no dialog is ever blank; nullptr for an id that
// is no message.
const char* builtInMessage(int32_t id);
// The configuration's text of a message record, else its built-in text.
const char* messageText(int32_t id);
