// What a runtime image tells without running anything: where its VM
// library lies and the version its release file names. Runtimes made with
// jlink often have no java.exe at all, and these two facts are all the
// launcher needs of them.
#pragma once

#include <string>

// The first VM library that the library step would try for `javaExecutable`
// (the preferred type, then the fixed list, in its bin directory and then in
// ..\jre\bin); false when there is none.
bool findVmLibrary(const std::string& javaExecutable, std::string& library);

// JAVA_VERSION of the runtime's release file (see releaseFileCandidates);
// `file` names the file it came from. False when no candidate file holds a
// readable one.
bool readReleaseVersion(const std::string& javaExecutable, std::string& version, std::string& file);
