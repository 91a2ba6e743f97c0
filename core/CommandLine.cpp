#include "core/CommandLine.h"

namespace {

constexpr char16_t kBlank = u' ';
constexpr size_t npos = std::u16string_view::npos;

}  // namespace

// One pass over the text: every search starts where the last one ended.
void splitArguments(std::u16string_view text, WideArgs& out) {
    size_t p = 0;
    while (p < text.size()) {
        if (text[p] == kBlank) {
            ++p;
            continue;
        }
        // The first blank or quote ends a plain word; a quote opens a group.
        const size_t stop = text.find_first_of(u" \"'", p);
        if (stop == npos) {
            out.emplace_back(text.substr(p));
            return;
        }
        if (text[stop] == kBlank) {
            out.emplace_back(text.substr(p, stop - p));
            p = stop + 1;
            continue;
        }
        const size_t close = text.find(text[stop], stop + 1);
        const size_t end = close == npos ? text.size() : close;
        std::u16string arg(text.substr(p, stop - p));
        arg.append(text.substr(stop + 1, end - stop - 1));
        out.push_back(std::move(arg));
        p = close == npos ? text.size() : close + 1;
        if (p < text.size() && text[p] == kBlank)
            ++p;
    }
}
