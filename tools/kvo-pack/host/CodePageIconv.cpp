// Code pages through iconv (Linux): one character at a time, so the common
// rules of Encoding.cpp decide what counts, as they do on Windows.
#include "tools/kvo-pack/host/Encoding.h"

#include <iconv.h>

#include <cerrno>

namespace kvopack {
namespace {

enum class Outcome { done, incomplete, invalid };

// Converts all of `in`, the shift state flushed at the end.
Outcome convert(void* cd, std::string_view in, std::string& out) {
    const auto handle = static_cast<iconv_t>(cd);
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char buffer[64];
    out.clear();
    // Some tables hold a character back until they know what follows
    // (combining marks): the last round flushes it.
    for (;;) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const bool flushing = inLeft == 0;
        const size_t rc = flushing ? iconv(handle, nullptr, nullptr, &outPtr, &outLeft)
                                   : iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - outLeft);
        if (rc != size_t(-1)) {
            if (flushing)
                return Outcome::done;
            continue;
        }
        if (error == E2BIG && out.size() < 64)
            continue;
        return error == EINVAL ? Outcome::incomplete : Outcome::invalid;
    }
}

}  // namespace

CodePage::CodePage(std::string_view name)
    : name_(normalisedCodePageName(name)), table_(&codePageTable(name)) {
    toPage_ = iconv_open(table_->iconv, "UTF-8");
    fromPage_ = iconv_open("UTF-8", table_->iconv);
    if (toPage_ == iconv_t(-1) || fromPage_ == iconv_t(-1)) {
        if (toPage_ != iconv_t(-1))
            iconv_close(toPage_);
        if (fromPage_ != iconv_t(-1))
            iconv_close(fromPage_);
        throw PackError("code page '" + std::string(name) + "': this system's iconv lacks " +
                        table_->iconv);
    }
}

CodePage::~CodePage() {
    iconv_close(toPage_);
    iconv_close(fromPage_);
}

bool CodePage::hostEncode(char32_t cp, std::string& out) const {
    std::string utf8;
    appendUtf8(utf8, cp);
    return convert(toPage_, utf8, out) == Outcome::done;
}

bool CodePage::hostDecode(std::string_view bytes, size_t pos, char32_t& cp, size_t& length) const {
    // The shortest run of bytes that makes one whole character.
    for (length = 1; length <= table_->maxBytes && pos + length <= bytes.size(); ++length) {
        std::string utf8;
        const Outcome outcome = convert(fromPage_, bytes.substr(pos, length), utf8);
        if (outcome == Outcome::incomplete)
            continue;
        size_t at = 0;
        return outcome == Outcome::done && !utf8.empty() && decodeUtf8(utf8, at, cp) &&
               at == utf8.size();
    }
    return false;
}

}  // namespace kvopack
