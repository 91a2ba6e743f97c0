// The rules of one option text: words joined as the VM reads them, trimming,
// the directives, and a class path built from its entries, which never
// outgrows the launcher's buffer.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jvm/OptionText.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    // The words of the VmOptions record, joined as the VM is to read them.
    std::vector<std::string> words;
    for (size_t start = 0; start <= line.size();) {
        const size_t blank = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    sink = joinOptionWords(words, true).size() + joinOptionLine(line).size() +
           separateValueOption(line).size();
    if (!trimOptionLine(line))
        return 0;
    const OptionLine option = classifyOptionLine(line);
    if (option.kind == OptionLineKind::option && option.rest != line)
        __builtin_trap();
    // The rest of a class-path directive, taken as the entries it lists.
    ClassPathText path;
    std::string_view rest = option.rest;
    while (!rest.empty()) {
        const size_t semi = rest.find(';');
        const ClassPathEntry entry = parseClassPathEntry(rest.substr(0, semi));
        sink = sink + size_t(entry.type) + entry.mandatory;
        path.append(classPathValueOfVariable(entry.text));
        if (path.text().size() >= ClassPathText::kCapacity)
            __builtin_trap();
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
    }
    return 0;
}
