// The one way errors reach the user and the launcher ends itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

void showError(const char* text);
// A text in UTF-16 (a message in the user's language), shown as showError
// shows a narrow one: in a dialog, or on standard error, where a console
// gets it whole and a file or pipe in the ANSI code page.
void showErrorWide(std::u16string_view text);
// showErrorWide with `question` below the text, in a dialog that is answered
// Yes or No: true for Yes. Where errors go to standard error the text goes
// there alone, and the answer is No.
bool showErrorAndAsk(std::u16string_view text, std::u16string_view question);
// Narrow text of the launcher (ANSI code page) in UTF-16, as a dialog shows it.
std::u16string widenMessageText(std::string_view text);
// Message record `id` (or its built-in text) with its first "{0}" replaced
// by `arg0` and its first "{1}" by `arg1`, each when given; a placeholder
// without its argument stays.
void showErrorMessage(int32_t id, const char* arg0, const char* arg1 = nullptr);
// The text of message `id` in UTF-16, wherever it was found (MessageSource).
std::u16string messageTextWide(int32_t id);
[[noreturn]] void fatalError(const char* text);
[[noreturn]] void fatalErrorMessage(int32_t id, const char* arg0, const char* arg1 = nullptr);
// Runs the registered clean-up (the launcher's temporary directory), then
// ends the process.
[[noreturn]] void exitLauncher(unsigned code);

// What the layers above must have done at these two points; they register it
// here, so that this layer needs to know none of them. Null: nothing to do.
using LauncherHook = void (*)();
// Runs before every error is shown (a splash screen must not cover it).
void setBeforeErrorShown(LauncherHook hook);
// Runs once before the process ends through exitLauncher.
void setBeforeExit(LauncherHook hook);
