// Mistakes in a configuration that reads well but would make a launcher
// that does not do what the text says. Found before anything is written,
// each with file and line and the form that works.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/ConfigText.h"
#include "tools/kvo-pack/Encoding.h"

namespace kvopack {

struct ConfigFindings {
    std::vector<std::string> errors;    // the launcher would not work as written
    std::vector<std::string> warnings;  // worth a look; the launcher works
};

ConfigFindings checkConfig(const PackConfig& config, std::string_view fileName, const CodePage& page);

}  // namespace kvopack
