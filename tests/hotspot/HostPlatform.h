// The host's side of the JVM stage's platform seam (see HostPlatform.cpp).
#pragma once

#include <string>
#include <string_view>

struct HostSettings {
    std::string directory;     // stands for the launcher's directory
    std::string logFile;       // the launcher's log
    std::string messagesFile;  // one line per message the launcher shows
    std::string optionsFile;   // the default options file; empty: none
};

extern HostSettings host;

std::u16string utf16(std::string_view text);
std::string utf8(std::u16string_view text);
