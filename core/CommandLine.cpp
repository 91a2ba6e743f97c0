#include "core/CommandLine.h"

namespace {

constexpr char16_t kBlank = u' ';
constexpr size_t npos = std::u16string_view::npos;

}  // namespace

void splitArguments(std::u16string_view text, WideArgs& out) {
    size_t p = 0;
    while (p < text.size()) {
        const size_t dq = text.find(u'"', p);
        const size_t sq = text.find(u'\'', p);
        const size_t blank = text.find(kBlank, p);
        if (blank == p) {
            ++p;
            continue;
        }
        // npos is the largest size_t, so a missing quote never comes first.
        if (blank != npos && blank < dq && blank < sq) {
            out.emplace_back(text.substr(p, blank - p));
            p = blank + 1;
            continue;
        }
        size_t q = npos;
        if (dq != npos && !(sq != npos && sq < dq))
            q = dq;
        else if (sq != npos)
            q = sq;
        if (q == npos) {
            out.emplace_back(text.substr(p));
            return;
        }
        const size_t close = text.find(text[q], q + 1);
        const size_t end = close == npos ? text.size() : close;
        std::u16string arg(text.substr(p, q - p));
        arg.append(text.substr(q + 1, end - q - 1));
        out.push_back(std::move(arg));
        p = close == npos ? text.size() : close + 1;
        if (p < text.size() && text[p] == kBlank)
            ++p;
    }
}

void splitWidenedArgumentsNarrow(std::u16string_view widened, NarrowArgs& out) {
    WideArgs wide;
    splitArguments(widened, wide);
    for (const std::u16string& w : wide)
        out.push_back(narrowUpToWideUnit(w));
}

std::string narrowUpToWideUnit(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t unit : text) {
        if (unit > 0xFF)
            break;
        narrow.push_back(static_cast<char>(unit));
    }
    return narrow;
}
