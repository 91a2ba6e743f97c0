// Mistakes in a configuration that reads well but would make a launcher
// that does not do what the text says. Found before anything is written,
// each with file and line and the form that works.
#pragma once

#include <memory>
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

// An options file among the included files, read line by line as the
// launcher reads it (the code page, UTF-8 or UTF-16 with a mark), its options
// checked as those of VmOptions; the findings name `fileName` and the line.
class OptionsFileCheck {
public:
    OptionsFileCheck(std::string fileName, const CodePage& page);
    ~OptionsFileCheck();
    void feed(std::string_view bytes);
    ConfigFindings finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether an included file is read as an options file: its name ends in
// ".vmoptions", as the launcher's own does.
bool isOptionsFileName(std::string_view name);

}  // namespace kvopack
