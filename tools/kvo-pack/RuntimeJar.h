// kvo-runtime.jar, the launcher's Java half, as kvo-pack carries it.
#pragma once

#include <string_view>

namespace kvopack {

// The name it has among the included files (so in the launcher's
// temporary directory, and thereby on the class path).
constexpr std::string_view kRuntimeJarName = "kvo-runtime.jar";

// Its bytes, built with the packer from java/.
std::string_view runtimeJar();

}  // namespace kvopack
