// Code pages through iconv (Linux).
#include "tools/kvo-pack/Encoding.h"

#include <iconv.h>

#include <cerrno>

namespace kvopack {
namespace {

// Runs one whole conversion. Returns false at the first sequence the target
// cannot take, with `failedAt` set to its offset in the input.
bool convert(void* cd, std::string_view in, std::string& out, size_t& failedAt) {
    iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    std::string buffer(in.size() * 4 + 16, '\0');
    out.clear();
    for (;;) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t rc = inLeft ? iconv(static_cast<iconv_t>(cd), &inPtr, &inLeft, &outPtr, &outLeft)
                                 : iconv(static_cast<iconv_t>(cd), nullptr, nullptr, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != size_t(-1)) {
            if (inLeft == 0)
                return true;
            continue;
        }
        if (error == E2BIG)
            continue;
        failedAt = in.size() - inLeft;
        return false;
    }
}

}  // namespace

CodePage::CodePage(std::string_view name) : name_(normalisedCodePageName(name)) {
    toPage_ = iconv_open(name_.c_str(), "UTF-8");
    fromPage_ = iconv_open("UTF-8", name_.c_str());
    if (toPage_ == iconv_t(-1) || fromPage_ == iconv_t(-1)) {
        if (toPage_ != iconv_t(-1))
            iconv_close(toPage_);
        if (fromPage_ != iconv_t(-1))
            iconv_close(fromPage_);
        throw PackError("unknown code page '" + std::string(name) + "'");
    }
}

CodePage::~CodePage() {
    iconv_close(toPage_);
    iconv_close(fromPage_);
}

bool CodePage::encode(std::string_view utf8, std::string& out, char32_t& bad) const {
    size_t failedAt = 0;
    if (convert(toPage_, utf8, out, failedAt))
        return true;
    bad = 0xFFFD;
    if (failedAt < utf8.size())
        decodeUtf8(utf8, failedAt, bad);
    return false;
}

std::vector<DecodedPiece> CodePage::decode(std::string_view bytes) const {
    std::vector<DecodedPiece> pieces;
    while (!bytes.empty()) {
        std::string text;
        size_t failedAt = bytes.size();
        const bool whole = convert(fromPage_, bytes, text, failedAt);
        if (!text.empty())
            pieces.push_back({false, std::move(text)});
        if (whole)
            break;
        // The byte that stopped the conversion stands for itself; decoding
        // resumes behind it.
        pieces.push_back({true, std::string(1, bytes[failedAt])});
        bytes.remove_prefix(failedAt + 1);
    }
    return pieces;
}

}  // namespace kvopack
