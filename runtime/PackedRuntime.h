// A private runtime shipped with Pack200-compressed archives is restored with
// its own unpacker before it is examined.
#pragma once

#include <string>

// Does nothing unless home\lib\rt.jar.pack exists and home\lib\jsse.jar does
// not. Ends the launcher when the unpacker cannot be started.
void unpackRuntime(const std::string& home);
