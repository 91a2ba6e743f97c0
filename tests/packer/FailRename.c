/* Preloaded into kvo-pack by cli_test.py: every rename that would give a
 * file the name in KVO_FAIL_RENAME_TO (the last part of the path) fails with
 * EIO, as a full or failing disk would make it fail. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int refused(const char* to) {
    const char* name = getenv("KVO_FAIL_RENAME_TO");
    const char* last = strrchr(to, '/');
    return name && *name && strcmp(last ? last + 1 : to, name) == 0;
}

int rename(const char* from, const char* to) {
    int (*real)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    if (refused(to)) {
        errno = EIO;
        return -1;
    }
    return real(from, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    int (*real)(int, const char*, int, const char*, unsigned) =
        (int (*)(int, const char*, int, const char*, unsigned))dlsym(RTLD_NEXT, "renameat2");
    if (refused(to)) {
        errno = EIO;
        return -1;
    }
    return real(fromDir, from, toDir, to, flags);
}
