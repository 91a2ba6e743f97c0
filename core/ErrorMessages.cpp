// The messages built on showError and exitLauncher, the two that differ by
// platform (Errors.cpp for the launcher).
#include "core/Errors.h"
#include "core/MessageText.h"

void showErrorMessage(int32_t id, const char* arg0, const char* arg1) {
    showError(fillPlaceholders(messageText(id), arg0, arg1, nullptr).c_str());
}

void fatalError(const char* text) {
    showError(text);
    exitLauncher(1);
}

void fatalErrorMessage(int32_t id, const char* arg0, const char* arg1) {
    showErrorMessage(id, arg0, arg1);
    exitLauncher(1);
}
