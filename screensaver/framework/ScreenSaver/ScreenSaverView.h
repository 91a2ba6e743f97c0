#import <Foundation/Foundation.h>

// What the screen-saver engine offers a plug-in's view, reduced to the calls a
// view overrides or asks for. Without AppKit there is no NSView to inherit
// from and no window for a configure sheet; the engine's drawing is left out.
@class NSWindow;

@interface ScreenSaverView : NSObject
{
    NSRect _frame;
    BOOL _isPreview;
    BOOL _isAnimating;
    NSTimeInterval _animationTimeInterval;
}

- (id)initWithFrame:(NSRect)frame isPreview:(BOOL)isPreview;
- (NSRect)frame;
- (BOOL)isPreview;
- (BOOL)isAnimating;
- (void)startAnimation;
- (void)stopAnimation;
- (void)drawRect:(NSRect)rect;
- (void)animateOneFrame;
- (NSTimeInterval)animationTimeInterval;
- (void)setAnimationTimeInterval:(NSTimeInterval)interval;
- (BOOL)hasConfigureSheet;
- (NSWindow *)configureSheet;

@end
