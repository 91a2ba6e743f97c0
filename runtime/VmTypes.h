#pragma once

#include <iterator>
#include <vector>

// VM type directories below a runtime's bin directory, in the order they are
// tried (after the configured preferred type).
constexpr const char* kVmTypes[] = {"hotspot", "client", "server", "classic", "jrockit"};

// The type directories to try, in order: the configured preferred type
// (record PreferredJvmType, empty for none) first, then the known ones. The
// library step and the search's look for a VM library go the same way.
inline std::vector<const char*> vmTypesToTry(const char* preferred) {
    std::vector<const char*> types;
    if (preferred && preferred[0] != '\0')
        types.push_back(preferred);
    types.insert(types.end(), std::begin(kVmTypes), std::end(kVmTypes));
    return types;
}
