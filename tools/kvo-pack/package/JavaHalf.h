// How a launcher carries the Java half, and the records that say where it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/config/ConfigText.h"
#include "tools/kvo-pack/package/RuntimeJar.h"

namespace kvopack {

// How a launcher carries the Java half: as its classes behind the included
// files, which the launcher defines from its own file; as kvo-runtime.jar,
// the last included file, for a stub older than that (its every start
// extracts it); or not at all ([kvo-runtime] include = no).
enum class JavaHalfForm { none, classes, jarFile };

// A stub that reads the classes names the record in its log.
bool readsRuntimeClasses(const std::string& image);

// The name of the jar among the included files, in any case of letters.
bool isRuntimeJarName(std::string_view name);

// Records 2002, 2003 and 2005 describe the data behind the block, which
// only the packer knows: it writes the first two for the [files] section
// (and the jar of an older stub, last), and RuntimeClasses for the classes,
// which follow the `filesBytes` of the included files (`classesBytes` of
// them, this packer's unless a dump checks another build's). Without a
// [files] section a configuration may still carry 2002 and 2003 to say "no
// files of mine"; the packer's count then takes their place.
void setIncludedRecords(PackConfig& config, std::vector<std::string> names, JavaHalfForm form,
                        int64_t filesBytes, size_t classesBytes = runtimeClasses().size());

}  // namespace kvopack
