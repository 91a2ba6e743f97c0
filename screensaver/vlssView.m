#import "vlssView.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

const int PORT = 57372;

// A build may point the stub elsewhere (the tests record the launch with a
// script of their own); the argument stays part of this file either way.
#ifndef VLSS_APP_STUB
#define VLSS_APP_STUB "/Applications/Velmora.app/Contents/MacOS/JavaApplicationStub"
#endif
static const char launchCommand[] = VLSS_APP_STUB " -RunAsScreenSaver";

static const unsigned int gracePeriodSeconds = 20;
static const unsigned int launchPauseSeconds = 2;

static void setLoopbackAddress(struct sockaddr_in *address)
{
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons((unsigned short)PORT);
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
}

// sleep() returns early when a signal is handled; the host process may handle
// signals of its own, and the grace period must not shrink because of them.
static void sleepSeconds(unsigned int seconds)
{
    while (seconds > 0)
        seconds = sleep(seconds);
}

@implementation vlssView

- (id)initWithFrame:(NSRect)frame isPreview:(BOOL)preview
{
    isIntendedToStop = NO;
    self = [super initWithFrame:frame isPreview:preview];
    if (self == nil)
        return nil;
    [self setAnimationTimeInterval:1.0 / 30.0];
    return self;
}

- (void)dealloc
{
    [thread release];
    [super dealloc];
}

- (void)startAnimation
{
    [super startAnimation];
    if ([self isPreview])
        return;
    [self forkForListening];
}

- (void)stopAnimation
{
    [super stopAnimation];
    if ([self isPreview])
        return;
    [self prepareForScreenSaverEngineToStop];
}

- (void)drawRect:(NSRect)rect
{
    [super drawRect:rect];
}

- (void)animateOneFrame
{
}

- (BOOL)hasConfigureSheet
{
    return NO;
}

- (NSWindow *)configureSheet
{
    return nil;
}

// Holds the engine's thread for the whole run and never returns: the process
// ends here so that the application takes the screen over from the engine.
- (void)forkForListening
{
    thread = [[NSThread alloc] initWithTarget:self
                                     selector:@selector(runServerSocket:)
                                       object:nil];
    [thread start];

    sleepSeconds(gracePeriodSeconds);
    isIntendedToStop = YES;

    NSThread *launcher = [[NSThread alloc] initWithTarget:self
                                                 selector:@selector(launchVelmora:)
                                                   object:nil];
    [launcher start];
    [launcher release];

    sleepSeconds(launchPauseSeconds);
    [self prepareForScreenSaverEngineToStop];
    exit(0);
}

- (void)runServerSocket:(id)unused
{
    struct sockaddr_in address;

    sd = socket(AF_INET, SOCK_STREAM, 0);
    if (sd < 0)
        exit(1);

    // No address reuse: on BSD-derived systems it would let this bind succeed
    // beside another program listening on the wildcard address of the port.
    // The TIME_WAIT that a restart would otherwise meet is avoided where the
    // connections are closed (below).

    setLoopbackAddress(&address);
    if (bind(sd, (struct sockaddr *)&address, sizeof address) < 0) {
        perror("bind");
        exit(1);
    }
    if (listen(sd, 0) < 0) {
        perror("listen");
        exit(1);
    }

    // The flag is only looked at when accept returns, which is why whoever
    // sets it also connects once to wake this loop.
    while (!isIntendedToStop) {
        struct sockaddr_in peer;
        socklen_t peerLength = sizeof peer;
        int connection = accept(sd, (struct sockaddr *)&peer, &peerLength);
        if (connection < 0)
            exit(1);
        // Closing first would leave this end in TIME_WAIT on the port for
        // about a minute, and a screen saver started again within it could
        // not bind; a zero linger resets the connection instead.
        struct linger abortive = {1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        close(connection);
        if (isIntendedToStop)
            break;
    }

    shutdown(sd, SHUT_RDWR);
    close(sd);
}

- (void)prepareForScreenSaverEngineToStop
{
    struct sockaddr_in address;

    isIntendedToStop = YES;
    cd = socket(AF_INET, SOCK_STREAM, 0);
    if (cd < 0)
        exit(1);

    // Refused when the listener has already gone; nothing is left to wake then.
    setLoopbackAddress(&address);
    (void)connect(cd, (struct sockaddr *)&address, sizeof address);
    close(cd);
}

// The command blocks this thread for as long as the application runs; the
// real-run sequence ends the process long before that matters.
- (void)launchVelmora:(id)unused
{
    int status = system(launchCommand);
    (void)status;
}

@end
