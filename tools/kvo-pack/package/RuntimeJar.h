// kvo-runtime.jar, the launcher's Java half, as kvo-pack carries it.
#pragma once

#include <string_view>

namespace kvopack {

// The name it had among the included files, as packers before the pack of
// classes (and stubs older than it) carry it; reserved.
constexpr std::string_view kRuntimeJarName = "kvo-runtime.jar";

// The jar's bytes, built with the packer from java/: what vendors compile
// against.
std::string_view runtimeJar();

// The same classes as a launcher carries them behind its block and defines
// them from there (services/RuntimeClasses.h): uncompressed, in the order
// they are defined.
std::string_view runtimeClasses();

}  // namespace kvopack
