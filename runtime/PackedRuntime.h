// A private runtime shipped with Pack200-compressed archives is restored with
// its own unpacker before it is examined.
#pragma once

#include <string>

// Unpacks every archive of the runtime that is still packed, in their fixed
// order; does nothing when none is. Ends the launcher when the unpacker
// cannot be started.
void unpackRuntime(const std::string& home);
