// The host's side of the JVM stage's platform seam (see HostPlatform.cpp).
#pragma once

#include <string>
#include <string_view>

struct HostSettings {
    std::string directory;     // stands for the launcher's directory
    std::string logFile;       // the launcher's log
    std::string messagesFile;  // one line per message the launcher shows
    std::string optionsFile;   // the default options file; empty: none
    // Stands for the launcher's temporary directory with the included files
    // it extracted; empty: none.
    std::string tempDir;
    // Stands for the launcher's own file, from which the Java half's classes
    // are read: a packed launcher or what kvo-pack build --overlay writes;
    // empty: none.
    std::string launcherFile;
};

// Where a second start of the launcher of process `pid` leaves its
// arguments (the exe: kvo_p<pid>.tmp in the temporary path).
std::string commFilePath(long pid);

extern HostSettings host;

std::u16string utf16(std::string_view text);
std::string utf8(std::u16string_view text);
