#include "jvm/VmText.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> VmText::add(std::string_view text) {
    kept_.append(text.substr(text.size() > kKept ? text.size() - kKept : 0));
    if (kept_.size() > kKept)
        kept_.erase(0, kept_.size() - kKept);
    std::vector<std::string> lines;
    for (char c : text) {
        if (c == '\n') {
            if (!begun_.empty() && begun_.back() == '\r')
                begun_.pop_back();
            lines.push_back(std::move(begun_));
            begun_.clear();
        } else {
            if (begun_.size() == kLineLimit) {
                lines.push_back(std::move(begun_));
                begun_.clear();
            }
            begun_ += c;
        }
    }
    return lines;
}

std::string VmText::takeBegun() {
    std::string line = std::move(begun_);
    begun_.clear();
    return line;
}

std::string VmText::lastWords(size_t limit) const {
    size_t end = kept_.size();
    while (end > 0 && isBlank(kept_[end - 1]))
        --end;
    size_t start = end > limit ? end - limit : 0;
    if (start > 0) {
        // Whole lines: a line cut at its start would read as another one.
        const size_t lineEnd = kept_.find('\n', start - 1);
        if (lineEnd != std::string::npos && lineEnd < end)
            start = lineEnd + 1;
    }
    while (start < end && isBlank(kept_[start]))
        ++start;
    return kept_.substr(start, end - start);
}
