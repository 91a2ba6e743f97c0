// The packer's configuration text: any text parses, its mistakes named, the
// checks before packing read what parsed, and a text without mistakes comes
// back unchanged from the text dump would write of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/kvo-pack/config/ConfigCheck.h"
#include "tools/kvo-pack/config/ConfigFormat.h"
#include "tools/kvo-pack/config/ConfigText.h"

using namespace kvopack;

namespace {
volatile size_t sink;

bool sameRecords(const BlockRecords& a, const BlockRecords& b) {
    if (a.narrow.size() != b.narrow.size() || a.wide.size() != b.wide.size() ||
        a.locales.size() != b.locales.size())
        return false;
    for (size_t i = 0; i < a.narrow.size(); ++i)
        if (a.narrow[i].id != b.narrow[i].id || a.narrow[i].value != b.narrow[i].value)
            return false;
    for (size_t i = 0; i < a.wide.size(); ++i)
        if (a.wide[i].id != b.wide[i].id || a.wide[i].value != b.wide[i].value)
            return false;
    for (size_t i = 0; i < a.locales.size(); ++i) {
        if (a.locales[i].key != b.locales[i].key ||
            a.locales[i].records.size() != b.locales[i].records.size())
            return false;
        for (size_t k = 0; k < a.locales[i].records.size(); ++k)
            if (a.locales[i].records[k].id != b.locales[i].records[k].id ||
                a.locales[i].records[k].value != b.locales[i].records[k].value)
                return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the code page, the rest is the text.
    static const CodePage pages[] = {CodePage("1252"), CodePage("932"), CodePage("949"), CodePage("UTF-8")};
    const CodePage& page = pages[data[0] % 4];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    PackConfig config;
    try {
        config = readConfigText(text, "fuzz.kvo", page);
    } catch (const PackError&) {
        return 0;
    }
    // The checks read whatever the parser could, mistakes around it or not.
    const ConfigFindings findings = checkConfig(config, "fuzz.kvo", page);
    sink = config.files.size() + config.warnings.size() + findings.errors.size();
    if (!config.mistakes.empty())
        return 0;
    const std::string again = formatConfigText(config.records, false, {}, page, "");
    try {
        if (!sameRecords(parseConfigText(again, "dump", page).records, config.records))
            __builtin_trap();
    } catch (const PackError&) {
        __builtin_trap();
    }
    return 0;
}
