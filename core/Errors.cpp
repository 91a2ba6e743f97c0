#include "core/Errors.h"

#include <io.h>

#include <cstdio>
#include <string>

#include "core/CodePage.h"
#include "core/ConfigStore.h"
#include "core/Console.h"
#include "core/Log.h"
#include "core/Platform.h"
#include "core/StartupState.h"
#include "core/UserInterface.h"

namespace {
HWND errorOwner = nullptr;
LauncherHook beforeErrorShown = nullptr;
LauncherHook beforeExit = nullptr;

// The long form of a path when the code page holds it exactly; else the
// path as it is (a look-alike letter would send the user to another file).
std::string longFormForDisplay(const char* path) {
    std::wstring wide;
    if (!widenText(fileApiCodePage(), path, wide))
        return path;
    std::wstring longForm(8192, L'\0');
    const DWORD n = GetLongPathNameW(wide.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
    std::string narrow;
    if (n == 0 || n >= longForm.size() || !narrowExact(fileApiCodePage(), std::wstring_view(longForm.data(), n), narrow))
        return path;
    return narrow;
}

std::wstring_view asWide(std::u16string_view text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

// Errors of a console-type launcher that nobody could read (started from
// Explorer, without a standard error) are shown after all; only a switch
// that asks for no dialogs keeps them off the screen.
bool errorsInDialogs() { return useErrorDialogs || (!quietSwitchGiven && !standardErrorUsable()); }

// A console shows every character; a file or a pipe gets the ANSI code
// page, as the narrow texts always went: `narrow` when the text was narrow
// (the bytes as they are), else with "?" for what the code page lacks.
void writeToStandardError(std::u16string_view text, const std::string* narrow) {
    std::fflush(stderr);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring line = std::wstring(asWide(text)) + L"\n";
        DWORD written = 0;
        WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    std::fprintf(stderr, "%s\n", narrow ? narrow->c_str() : narrowForDisplay(CP_ACP, asWide(text)).c_str());
    std::fflush(stderr);
}

// Shows `text` with the log's path below it, and `question` below that in a
// dialog answered Yes or No (an empty one: a dialog with OK). Returns the
// answer; IDNO where no dialog was shown.
int present(std::u16string_view text, const char* narrow, std::u16string_view question) {
    if (beforeErrorShown)
        beforeErrorShown();
    std::u16string shown(text);
    std::string shownNarrow(narrow ? narrow : "");
    if (const char* path = logFilePath()) {
        const std::string longForm = longFormForDisplay(path);
        shown += u"\n\nLog: ";
        shown += widenMessageText(longForm);
        shownNarrow += "\n\nLog: " + longForm;
    }
    if (!errorsInDialogs()) {
        writeToStandardError(shown, narrow ? &shownNarrow : nullptr);
        return IDNO;
    }
    if (!question.empty()) {
        shown += u"\n\n";
        shown += question;
    }
    const std::u16string title = messageTextWide(msg::Title);
    return showMessageBoxWide(errorOwner, std::wstring(asWide(shown)).c_str(), std::wstring(asWide(title)).c_str(),
                              MB_ICONERROR | (question.empty() ? MB_OK : MB_YESNO));
}

}  // namespace

void setErrorOwnerWindow(HWND window) { errorOwner = window; }
void setBeforeErrorShown(LauncherHook hook) { beforeErrorShown = hook; }
void setBeforeExit(LauncherHook hook) { beforeExit = hook; }

std::u16string widenMessageText(std::string_view text) {
    std::wstring wide;
    widenText(CP_ACP, text, wide);
    return {reinterpret_cast<const char16_t*>(wide.data()), wide.size()};
}

void showError(const char* text) { present(widenMessageText(text), text, {}); }

void showErrorWide(std::u16string_view text) { present(text, nullptr, {}); }

bool showErrorAndAsk(std::u16string_view text, std::u16string_view question) {
    return present(text, nullptr, question) == IDYES;
}

void exitLauncher(unsigned code) {
    // Taken out first: an error inside the clean-up must not run it again.
    if (LauncherHook hook = beforeExit) {
        beforeExit = nullptr;
        hook();
    }
    ExitProcess(code);
}
