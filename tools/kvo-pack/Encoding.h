// Character conversions between the UTF-8 configuration text and what the
// launcher stores: narrow texts in an ANSI code page, wide texts in UTF-16.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kvopack {

// Every failure of the packer is reported through this one type; the text is
// complete and ready to be shown ("app.kvo:12: ...").
struct PackError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Decodes one UTF-8 sequence at `pos` and advances past it. Overlong forms,
// surrogates and values past U+10FFFF are invalid.
bool decodeUtf8(std::string_view text, size_t& pos, char32_t& cp);
bool isValidUtf8(std::string_view text);
void appendUtf8(std::string& out, char32_t cp);
// Valid UTF-8 in, UTF-16 out.
std::u16string utf8ToUtf16(std::string_view text);
std::string describeChar(char32_t cp);  // "'é' (U+00E9)"

// A piece of code-page text as it decodes: either UTF-8 text or a single
// byte that the code page does not define.
struct DecodedPiece {
    bool undecodable = false;
    std::string bytes;
};

// "1252", "cp1252" and "windows-1252" all become "CP1252"; other names are
// upper-cased.
std::string normalisedCodePageName(std::string_view name);

class CodePage {
public:
    // Accepts "1252", "cp1252", "windows-1252" and other names the host's
    // converter knows (iconv on Linux; on Windows the common names of the
    // system's code pages).
    explicit CodePage(std::string_view name);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    const std::string& name() const { return name_; }

    // False when a character has no byte form in this code page; `bad` is
    // then that character. `utf8` must be valid.
    bool encode(std::string_view utf8, std::string& out, char32_t& bad) const;
    std::vector<DecodedPiece> decode(std::string_view bytes) const;

private:
    std::string name_;
    // The host's converters: iconv descriptors, or the Windows code page
    // number in toPage_.
    void* toPage_ = nullptr;
    void* fromPage_ = nullptr;
};

}  // namespace kvopack
