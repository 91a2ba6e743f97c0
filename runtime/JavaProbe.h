// Judging one candidate runtime: its java executable, its version (from the
// per-user cache or a "-version" run) and the configured bounds.
#pragma once

#include <string>

#include "core/Platform.h"

// home\jre\bin\java.exe, or home\bin\java.exe when that is missing. With
// RequireJdk the flag says whether the home is a JDK: one with
// home\lib\tools.jar keeps the jre path, one of the layout since 9 (no
// tools.jar, but bin\javac.exe) gives home\bin\java.exe.
bool javaExecutableForHome(const std::string& home, std::string& javaExecutable);

// Accepts `javaExecutable` against the bounds. On return it holds the
// canonical lower-case path, and for windowed applications the javaw.exe
// beside an accepted java.exe. `version` receives the version learned.
bool checkJavaExe(std::string& javaExecutable, std::string& version, const std::string& lower,
                  const std::string& upper, bool betaAllowed);

// Runs the executable with "-version" and reads the version from the first
// line it writes to standard error.
bool runJavaVersion(const std::string& javaExecutable, const FILETIME& lastWrite, std::string& version);

// The version rules, with AllowBetaJvm widening `betaAllowed`.
bool isVersionAccepted(const std::string& version, const std::string& lower, const std::string& upper,
                       bool betaAllowed);

// How long a "-version" run may take before it is ended (60 s). Only test
// builds of the launcher change it.
void setProbeTimeout(DWORD milliseconds);
