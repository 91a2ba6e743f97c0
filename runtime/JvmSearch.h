// The search for a Java runtime: location files, the configured search
// sequence, the registry and the fixed environment variables.
#pragma once

#include <string>

enum FoundBy { FoundByNone = 0, PathSearch = 1, Location = 2, EnvironmentVariable = 3, Registry = 4 };

struct FoundRuntime {
    // Canonical lower-case path of the accepted java executable.
    std::string javaExecutable;
    FoundBy foundBy = FoundByNone;
    // Location text, variable name or search entry text, for messages.
    std::string location;
};

// The version bounds every probe of one search is held against.
struct VersionBounds {
    std::string lower;
    std::string upper;
};

// The bounds of the configuration, the lower one raised to 1.8 when the
// launcher carries the Java half, which runs on Java 8 and later; with
// `log`, a raise is logged.
VersionBounds searchBounds(bool log);

// Search entries may name the launcher's variables, which are expanded by a
// layer above this one: the entry point registers that expansion here before
// the search runs. Without one, entries are taken as written.
using SearchTextExpander = void (*)(std::string& text);
void setSearchTextExpander(SearchTextExpander expand);

FoundRuntime findJvm();

// A runtime home (absolute or relative to the launcher); with `verify` it
// must pass the probe, without it only the executable's path is derived.
bool checkLocation(const std::string& location, bool verify, const VersionBounds& bounds,
                   std::string& javaExecutable);
bool checkEnvironmentVariable(const char* name, const VersionBounds& bounds, std::string& javaExecutable);
bool searchPathForJava(const VersionBounds& bounds, std::string& javaExecutable);
// The first line of the installation directory's file `suffix`, without its
// line end; false when there is no such file or line.
bool readLocationFile(const char* suffix, std::string& line);
