// The launcher's options-file reader and the rules each line goes through:
// every line handed on is trimmed, within the line buffer, and no comment;
// a byte-order mark is dropped once at most; lines then join as the VM reads
// them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jvm/OptionText.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file)
        return 0;
    int marks = 0;
    OptionFileLines joined;
    const auto apply = [](const std::string& text) {
        const OptionLine classified = classifyOptionLine(text);
        sink = sink + classified.rest.size() + (javaCommandOnlyAdvice(text) != nullptr);
    };
    readOptionLines(
        file, [&] { ++marks; },
        [&](std::string& line) {
            if (line.empty() || line.size() > 8191 || line[0] == '#' || line.front() == ' ' ||
                line.back() == ' ' || line.back() == '\n')
                __builtin_trap();
            const OptionLine classified = classifyOptionLine(line);
            if (classified.rest.data() < line.data() ||
                classified.rest.data() + classified.rest.size() != line.data() + line.size())
                __builtin_trap();
            for (const std::string& text : joined.take(line))
                apply(text);
        });
    for (const std::string& text : joined.finish())
        apply(text);
    if (marks > 1)
        __builtin_trap();
    std::fclose(file);
    return 0;
}
