// Character conversions between the UTF-8 configuration text and what the
// launcher stores: narrow texts in an ANSI code page, wide texts in UTF-16.
#pragma once

#include <array>
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
// UTF-16 in, UTF-8 out; a surrogate without its partner becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
std::string describeChar(char32_t cp);  // "'é' (U+00E9)"

// Walks `text`: character(cp, bytes) for each UTF-8 character, stray(byte)
// for each byte that starts none.
template <typename Character, typename Stray>
void forEachCharacter(std::string_view text, Character character, Stray stray) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        char32_t cp;
        if (decodeUtf8(text, pos, cp)) {
            character(cp, text.substr(start, pos - start));
        } else {
            stray(static_cast<unsigned char>(text[start]));
            pos = start + 1;
        }
    }
}

// A piece of code-page text as it decodes: either UTF-8 text or a single
// byte that the code page does not define.
struct DecodedPiece {
    bool undecodable = false;
    std::string bytes;
};

// "1252", "cp1252" and "windows-1252" all become "CP1252"; other names are
// upper-cased.
std::string normalisedCodePageName(std::string_view name);

// A code page the packer knows, by the number Windows gives it and the name
// iconv knows its table by. Both packers accept exactly these, so one name
// means one table on both hosts.
struct CodePageTable {
    unsigned windows;
    const char* iconv;
    unsigned maxBytes;  // of one character
    // Windows decodes the undefined bytes of these pages as C1 control
    // characters; they are no characters of them.
    bool undefinedAsC1;
};

// The table a name stands for (normalised as above); a PackError naming the
// names there are for any other.
const CodePageTable& codePageTable(std::string_view name);

// Whether `cp` may stand in a narrow text of `table`: whatever both hosts'
// tables do with it, private-use characters (their glyphs differ from one
// machine to the next), the C1 controls of pages that have none, and the few
// characters the two hosts' tables give different bytes are no characters
// of a code page.
bool isCodePageCharacter(const CodePageTable& table, char32_t cp);

class CodePage {
public:
    // Accepts the names findCodePageTable knows.
    explicit CodePage(std::string_view name);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    const std::string& name() const { return name_; }

    // False when a character has no byte form in this code page that reads
    // back as itself; `bad` is then that character. `utf8` must be valid.
    bool encode(std::string_view utf8, std::string& out, char32_t& bad) const;
    std::vector<DecodedPiece> decode(std::string_view bytes) const;

private:
    // The host's converter for one character: its bytes, or false.
    bool hostEncode(char32_t cp, std::string& out) const;
    // The host's converter for the character that starts at `pos`: the
    // character and its length in bytes, or false for a byte that starts none.
    bool hostDecode(std::string_view bytes, size_t pos, char32_t& cp, size_t& length) const;
    // One character of the page at `pos` under the common rules.
    bool decodeOne(std::string_view bytes, size_t pos, char32_t& cp, size_t& length) const;

    std::string name_;
    const CodePageTable* table_ = nullptr;
    // Per ASCII character: 1 once it is known to be written as its own byte
    // (as it is in every page the packer knows).
    mutable std::array<unsigned char, 128> asciiKept_{};
    // The host's converters: iconv descriptors (none on Windows).
    void* toPage_ = nullptr;
    void* fromPage_ = nullptr;
};

}  // namespace kvopack
