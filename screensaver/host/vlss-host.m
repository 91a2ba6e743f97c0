// Plays the screen-saver engine for a plug-in bundle on a machine without one:
// loads the bundle's principal class, constructs the view as the preferences'
// preview or as the real screen saver, starts it and, when asked, stops it.
//
//   vlss-host --preview|--real [--stop-after SECONDS] [--bundle PATH]
//
// The bundle defaults to vlss.saver beside this program. Without --stop-after
// the view is stopped as soon as startAnimation returns, which a real vlss
// view never does. Exit status 0 after a stop, 2 when the host itself fails;
// a view that ends the process decides the status itself.

#import <Foundation/Foundation.h>
#import <ScreenSaver/ScreenSaver.h>

#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { hostFailure = 2 };

static void usage(void)
{
    fprintf(stderr, "usage: vlss-host --preview|--real [--stop-after SECONDS] [--bundle PATH]\n");
    exit(hostFailure);
}

static void sleepFor(double seconds)
{
    struct timespec left;
    left.tv_sec = (time_t)seconds;
    left.tv_nsec = (long)((seconds - (double)left.tv_sec) * 1e9);
    while (nanosleep(&left, &left) != 0 && errno == EINTR)
        ;
}

static NSString *defaultBundlePath(void)
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return @"vlss.saver";
    self[length] = '\0';
    NSString *directory = [[NSString stringWithUTF8String:self] stringByDeletingLastPathComponent];
    return [directory stringByAppendingPathComponent:@"vlss.saver"];
}

// The engine's part of loading a bundle: the property list names the
// executable and the principal class, which must be a screen-saver view.
static Class loadPrincipalClass(NSString *bundlePath)
{
    NSString *contents = [bundlePath stringByAppendingPathComponent:@"Contents"];
    NSString *plistPath = [contents stringByAppendingPathComponent:@"Info.plist"];
    NSDictionary *info = [NSDictionary dictionaryWithContentsOfFile:plistPath];
    if (info == nil) {
        fprintf(stderr, "vlss-host: cannot read %s\n", [plistPath UTF8String]);
        return Nil;
    }
    NSString *executable = [info objectForKey:@"CFBundleExecutable"];
    NSString *principal = [info objectForKey:@"NSPrincipalClass"];
    if (executable == nil || principal == nil) {
        fprintf(stderr, "vlss-host: %s names no executable or principal class\n", [plistPath UTF8String]);
        return Nil;
    }
    NSString *binary = [[contents stringByAppendingPathComponent:@"MacOS"]
                           stringByAppendingPathComponent:executable];
    if (dlopen([binary UTF8String], RTLD_NOW | RTLD_GLOBAL) == NULL) {
        fprintf(stderr, "vlss-host: %s\n", dlerror());
        return Nil;
    }
    Class viewClass = NSClassFromString(principal);
    if (viewClass == Nil || ![viewClass isSubclassOfClass:[ScreenSaverView class]]) {
        fprintf(stderr, "vlss-host: %s is not a screen-saver view class\n", [principal UTF8String]);
        return Nil;
    }
    return viewClass;
}

// The engine's stop arrives on a thread of its own: a real view keeps the
// thread that started it until it ends the process.
@interface StopTimer : NSObject
{
    ScreenSaverView *view;
    double delay;
    NSConditionLock *done;
}
- (id)initWithView:(ScreenSaverView *)aView delay:(double)seconds;
- (void)run:(id)unused;
- (NSConditionLock *)done;
@end

@implementation StopTimer

- (id)initWithView:(ScreenSaverView *)aView delay:(double)seconds
{
    self = [super init];
    if (self == nil)
        return nil;
    view = [aView retain];
    delay = seconds;
    done = [[NSConditionLock alloc] initWithCondition:0];
    return self;
}

- (void)dealloc
{
    [view release];
    [done release];
    [super dealloc];
}

- (NSConditionLock *)done
{
    return done;
}

- (void)run:(id)unused
{
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    sleepFor(delay);
    [view stopAnimation];
    [done lock];
    [done unlockWithCondition:1];
    [pool release];
}

@end

int main(int argc, char **argv)
{
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    int mode = -1; // 1 preview, 0 real
    double stopAfter = -1.0;
    NSString *bundlePath = nil;

    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--preview") == 0 || strcmp(argv[i], "--real") == 0) {
            if (mode != -1)
                usage();
            mode = strcmp(argv[i], "--preview") == 0;
        } else if (strcmp(argv[i], "--stop-after") == 0 && i + 1 < argc) {
            char *end;
            stopAfter = strtod(argv[++i], &end);
            if (*argv[i] == '\0' || *end != '\0' || !(stopAfter >= 0.0 && stopAfter < 1e6))
                usage();
        } else if (strcmp(argv[i], "--bundle") == 0 && i + 1 < argc) {
            bundlePath = [NSString stringWithUTF8String:argv[++i]];
        } else {
            usage();
        }
    }
    if (mode == -1)
        usage();
    if (bundlePath == nil)
        bundlePath = defaultBundlePath();

    Class viewClass = loadPrincipalClass(bundlePath);
    if (viewClass == Nil)
        return hostFailure;

    // A full screen for the real saver, the preferences' thumbnail otherwise.
    BOOL preview = mode == 1;
    NSRect frame = preview ? NSMakeRect(0, 0, 296, 184) : NSMakeRect(0, 0, 1920, 1080);
    ScreenSaverView *view = [[viewClass alloc] initWithFrame:frame isPreview:preview];
    if (view == nil) {
        fprintf(stderr, "vlss-host: the view could not be constructed\n");
        return hostFailure;
    }

    StopTimer *timer = nil;
    if (stopAfter >= 0.0) {
        timer = [[StopTimer alloc] initWithView:view delay:stopAfter];
        [NSThread detachNewThreadSelector:@selector(run:) toTarget:timer withObject:nil];
    }

    [view startAnimation];

    if (timer != nil) {
        // Between start and stop the engine asks for frames at the view's pace.
        NSConditionLock *done = [timer done];
        for (;;) {
            NSAutoreleasePool *framePool = [[NSAutoreleasePool alloc] init];
            NSTimeInterval interval = [view animationTimeInterval];
            NSDate *next = [NSDate dateWithTimeIntervalSinceNow:interval > 0.001 ? interval : 0.001];
            BOOL stopped = [done lockWhenCondition:1 beforeDate:next];
            if (!stopped) {
                [view animateOneFrame];
                [view drawRect:frame];
            }
            [framePool release];
            if (stopped)
                break;
        }
        [done unlock];
        [timer release];
    } else {
        [view stopAnimation];
    }

    [view release];
    [pool release];
    return 0;
}
