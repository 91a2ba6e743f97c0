// The launcher's options-file reader and the rules each line goes through:
// every line handed on is trimmed, within its piece of the line, and no comment;
// a byte-order mark is told once at most; the lines are the same however
// the file's bytes arrive; lines then join as the VM reads them.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

// The file's lines, its bytes arriving in reads that end at `cuts`.
Lines read(std::string_view bytes, size_t piece, std::initializer_list<size_t> cuts) {
    Lines lines;
    OptionFileDecoder decoder({[&](OptionFileForm) { ++lines.marks; },
                               [](std::u16string_view text, int) { return narrowed(text); },
                               [&](std::string& line, int number) {
                                   lines.texts.push_back(line);
                                   lines.numbers.push_back(number);
                               }},
                              piece);
    size_t at = 0;
    for (size_t cut : cuts) {
        decoder.feed(bytes.substr(at, cut - at));
        at = cut;
    }
    decoder.feed(bytes.substr(at));
    decoder.finish();
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    // The first four bytes: where the reads in which the file arrives end;
    // the fifth: the longest piece of a line, which the launcher has at 8191
    // bytes, short here so that short inputs meet it.
    const std::string_view file(reinterpret_cast<const char*>(data) + 5, size - 5);
    const size_t first = size_t(data[0] | data[1] << 8) % (file.size() + 1);
    const size_t second = first + size_t(data[2] | data[3] << 8) % (file.size() - first + 1);
    const size_t piece = size_t(data[4]) + 2;
    const Lines whole = read(file, piece, {});
    const Lines pieces = read(file, piece, {first, second});
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
        if (line.empty() || line.size() > piece || line[0] == '#' || line.front() == ' ' || line.back() == ' ' ||
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
