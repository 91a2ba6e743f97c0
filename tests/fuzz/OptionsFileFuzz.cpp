// The launcher's options-file reader and the rules each line goes through:
// every line handed on is trimmed, within the line buffer, and no comment;
// a byte-order mark is told once at most; the lines are the same however
// the file's bytes arrive; lines then join as the VM reads them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jvm/OptionText.h"

namespace {

volatile size_t sink;

struct Lines {
    std::vector<std::string> texts;
    std::vector<int> numbers;
    int marks = 0;
};

// A UTF-16 piece made narrow as a code page would, one byte a unit.
std::string narrowed(std::u16string_view piece) {
    std::string out(piece.size(), '?');
    for (size_t i = 0; i < piece.size(); ++i)
        if (piece[i] < 0x80)
            out[i] = char(piece[i]);
    return out;
}

Lines read(std::string_view bytes, size_t chunk) {
    Lines lines;
    OptionFileDecoder decoder({[&](OptionFileForm) { ++lines.marks; },
                               [](std::u16string_view piece, int) { return narrowed(piece); },
                               [&](std::string& line, int number) {
                                   lines.texts.push_back(line);
                                   lines.numbers.push_back(number);
                               }});
    for (size_t at = 0; at < bytes.size(); at += chunk)
        decoder.feed(bytes.substr(at, chunk));
    decoder.finish();
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte: the size of the reads in which the file arrives.
    const size_t chunk = size_t(data[0] % 7) + 1;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Lines whole = read(file, file.size() + 1);
    const Lines pieces = read(file, chunk);
    if (whole.texts != pieces.texts || whole.numbers != pieces.numbers || whole.marks != pieces.marks ||
        whole.marks > 1)
        __builtin_trap();
    int lastNumber = 1;
    OptionFileLines joined;
    const auto apply = [](const std::string& text) {
        const OptionLine classified = classifyOptionLine(text);
        sink = sink + classified.rest.size() + (javaCommandOnlyAdvice(text) != nullptr);
    };
    for (size_t i = 0; i < whole.texts.size(); ++i) {
        const std::string& line = whole.texts[i];
        if (line.empty() || line.size() > 8191 || line[0] == '#' || line.front() == ' ' || line.back() == ' ' ||
            line.back() == '\n' || line.find('\0') != std::string::npos || whole.numbers[i] < lastNumber)
            __builtin_trap();
        lastNumber = whole.numbers[i];
        const OptionLine classified = classifyOptionLine(line);
        if (classified.rest.data() < line.data() ||
            classified.rest.data() + classified.rest.size() != line.data() + line.size())
            __builtin_trap();
        for (const std::string& text : joined.take(line))
            apply(text);
    }
    for (const std::string& text : joined.finish())
        apply(text);
    return 0;
}
