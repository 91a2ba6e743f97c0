// The launcher's command-line splitter over any UTF-16 text: the arguments
// are pieces of the text, so together never longer than it. The pieces then
// as the launcher class's array: a main class taken for a direct call is
// its value in ASCII, every separator a slash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/CommandLine.h"
#include "jvm/LauncherArgs.h"

namespace {
volatile size_t sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    WideArgs args;
    splitArguments(text, args);
    size_t total = 0;
    for (const std::u16string& a : args)
        total += a.size();
    if (total > text.size())
        __builtin_trap();
    if (const std::optional<DirectMain> direct = directMainOf(args)) {
        const std::string& name = direct->className;
        if (name.size() != args[1].size() || name.find('.') != std::string::npos)
            __builtin_trap();
        for (size_t i = 0; i < name.size(); ++i)
            if (static_cast<unsigned char>(name[i]) >= 0x80 || (name[i] != '/' && name[i] != args[1][i]))
                __builtin_trap();
    }
    sink = args.size();
    return 0;
}
