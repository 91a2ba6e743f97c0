#include "runtime/ProbeEnvironment.h"

#include "core/AsciiCase.h"

namespace {

bool isHidden(std::u16string_view entry) {
    // Entries such as "=C:=C:\dir" start with "=": the name ends at the
    // first "=" after the first character.
    const size_t equals = entry.find(u'=', 1);
    const std::u16string_view name = entry.substr(0, equals);
    for (std::u16string_view hidden : kProbeHiddenVariables)
        if (equalsIgnoringAsciiCase(name, hidden))
            return true;
    return false;
}

}  // namespace

std::u16string probeEnvironmentBlock(const char16_t* block) {
    std::u16string copy;
    if (block) {
        for (const char16_t* entry = block; *entry; ) {
            const std::u16string_view text(entry);
            if (!isHidden(text)) {
                copy.append(text);
                copy.push_back(u'\0');
            }
            entry += text.size() + 1;
        }
    }
    if (copy.empty())
        copy.push_back(u'\0');
    copy.push_back(u'\0');
    return copy;
}
