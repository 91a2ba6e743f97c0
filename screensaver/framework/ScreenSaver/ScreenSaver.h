// Stand-in for the ScreenSaver framework's umbrella header, so the view's
// source builds unchanged with GNUstep's Foundation where the real framework
// (and AppKit) is not available.
#import <Foundation/Foundation.h>
#import <ScreenSaver/ScreenSaverView.h>
