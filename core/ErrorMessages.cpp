// The messages built on showError and exitLauncher, the two that differ by
// platform (Errors.cpp for the launcher).
#include "core/Errors.h"
#include "core/MessageText.h"

std::u16string messageTextWide(int32_t id) {
    const MessageSource source = findMessage(id);
    return source.narrow.empty() ? std::u16string(source.wide) : widenMessageText(source.narrow);
}

void showErrorMessage(int32_t id, const char* arg0, const char* arg1) {
    const MessageSource source = findMessage(id);
    // A narrow text goes the way it always went, byte for byte.
    if (source.wide.empty()) {
        showError(fillPlaceholders(source.narrow, arg0, arg1, nullptr).c_str());
        return;
    }
    MessageArguments arguments;
    if (arg0)
        arguments[0] = widenMessageText(arg0);
    if (arg1)
        arguments[1] = widenMessageText(arg1);
    showErrorWide(fillPlaceholders(source.wide, arguments));
}

void fatalError(const char* text) {
    showError(text);
    exitLauncher(1);
}

void fatalErrorMessage(int32_t id, const char* arg0, const char* arg1) {
    showErrorMessage(id, arg0, arg1);
    exitLauncher(1);
}
