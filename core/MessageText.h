// Texts of the message records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Replaces the first "{0}", "{1}" and "{2}" of `text` by the argument of the
// same number; a null argument leaves its placeholder as it is. Arguments
// are never searched themselves, so a path holding "{1}" stays that path.
std::string fillPlaceholders(std::string_view text, const char* arg0, const char* arg1, const char* arg2);

// The arguments of a UTF-16 message, by placeholder number ({0} to {3}).
using MessageArguments = std::array<std::optional<std::u16string>, 4>;
// The same rule over a UTF-16 text.
std::u16string fillPlaceholders(std::u16string_view text, const MessageArguments& arguments);

// The English text a message record has when the configuration leaves it
// out (or empty), so that no dialog is ever blank; nullptr for an id that
// is no message.
const char* builtInMessage(int32_t id);
// The built-in 1016 of a configuration that names a download address: {3}.
extern const char* const kBuiltInNoJvmWithDownload;

// Where the text of a message is found, in the order the launcher looks: a
// wide record as the locale sections left it (a [wide] text, or the one of
// the section that matched the user's locale), which holds any character;
// else the narrow record, in the ANSI code page; else the built-in text.
// The dialog title (1000) falls back to ApplicationName before "Error".
struct MessageSource {
    std::u16string_view wide;  // the text, when it is a wide one
    std::string_view narrow;   // else the text, in the ANSI code page
    bool builtIn = false;
};
MessageSource findMessage(int32_t id);
