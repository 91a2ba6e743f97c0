#import <ScreenSaver/ScreenSaver.h>

// The bundle's principal class. A real (non-preview) run holds a loopback
// listener open for a grace period, then starts the installed application in
// its screen-saver mode and ends the engine's process so the application owns
// the screen. The view draws nothing.
@interface vlssView : ScreenSaverView
{
    int sd;                 // listening socket
    int cd;                 // socket that wakes the listener
    NSThread *thread;       // runs runServerSocket:; kept for the view's life
    BOOL isIntendedToStop;  // read by the listener after each accepted connection
}

- (void)runServerSocket:(id)unused;
- (void)forkForListening;
- (void)prepareForScreenSaverEngineToStop;
- (void)launchVelmora:(id)unused;

@end
