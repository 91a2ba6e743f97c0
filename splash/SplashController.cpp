#include "splash/SplashController.h"

#include "core/Log.h"
#include "core/UserInterface.h"
#include "services/ProcessWindows.h"
#include "splash/ControllerPoll.h"
#include "splash/SplashWindow.h"

namespace {

// Splash thread only.
bool autoOff = false;

// Ends the splash thread: its message loop returns once the window is gone.
void endSplashThread() {
    releaseController();
    closeSplashWindow();
}

}  // namespace

void setSplashAutoOff(bool on) { autoOff = on; }

void CALLBACK splashTimer(HWND, UINT, UINT_PTR, DWORD) {
    const UserApi* ui = userApi();
    if (!ui->IsWindowVisible(splashWindow())) {
        endSplashThread();
        return;
    }
    if (autoOff && countProcessWindows(GetCurrentProcessId()) > 1) {
        logMessage("Splash screen auto off");
        showSplash(0);
        endSplashThread();
        return;
    }
    const ControllerRequest request = pollController();
    if (request.action == ControllerAction::hide) {
        showSplash(0);
        endSplashThread();
    } else if (request.action == ControllerAction::text) {
        // UTF-16 both: Windows' wide characters are Java's.
        setStatusText(reinterpret_cast<const wchar_t*>(request.text.c_str()));
    }
}
