#pragma once

// VM type directories below a runtime's bin directory, in the order they are
// tried (after the configured preferred type).
constexpr const char* kVmTypes[] = {"hotspot", "client", "server", "classic", "jrockit"};
