#import <ScreenSaver/ScreenSaverView.h>

@implementation ScreenSaverView

- (id)initWithFrame:(NSRect)frame isPreview:(BOOL)isPreview
{
    self = [super init];
    if (self == nil)
        return nil;
    _frame = frame;
    _isPreview = isPreview;
    _isAnimating = NO;
    _animationTimeInterval = 1.0 / 30.0;
    return self;
}

- (NSRect)frame
{
    return _frame;
}

- (BOOL)isPreview
{
    return _isPreview;
}

- (BOOL)isAnimating
{
    return _isAnimating;
}

- (void)startAnimation
{
    _isAnimating = YES;
}

- (void)stopAnimation
{
    _isAnimating = NO;
}

- (void)drawRect:(NSRect)rect
{
}

- (void)animateOneFrame
{
}

- (NSTimeInterval)animationTimeInterval
{
    return _animationTimeInterval;
}

- (void)setAnimationTimeInterval:(NSTimeInterval)interval
{
    _animationTimeInterval = interval;
}

- (BOOL)hasConfigureSheet
{
    return NO;
}

- (NSWindow *)configureSheet
{
    return nil;
}

@end
