// Range copy and narrow splitting against Wine's real files and code pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CommandLineNarrow.h"
#include "core/ConfigBlock.h"
#include "core/LauncherFile.h"
#include "core/Platform.h"

namespace {

class CopyRange : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        source_ = std::string(dir) + "kvo-copy-src-" + std::to_string(GetCurrentProcessId());
        target_ = std::string(dir) + "kvo-copy-dst-" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override {
        DeleteFileA(source_.c_str());
        DeleteFileA(target_.c_str());
    }
    void writeSource(const std::vector<unsigned char>& bytes) {
        ScopedHandle h(CreateFileA(source_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(h.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr));
    }
    int copy(int64_t length, bool scramble, int64_t skip = 0) {
        ScopedHandle in(CreateFileA(source_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ScopedHandle out(CreateFileA(target_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        SetFilePointer(in.get(), LONG(skip), nullptr, FILE_BEGIN);
        return copyRange(in.get(), out.get(), length, scramble);
    }
    std::vector<unsigned char> target() {
        ScopedHandle h(CreateFileA(target_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        std::vector<unsigned char> bytes(GetFileSize(h.get(), nullptr));
        DWORD n = 0;
        ReadFile(h.get(), bytes.data(), DWORD(bytes.size()), &n, nullptr);
        return bytes;
    }
    std::string source_, target_;
};

TEST_F(CopyRange, UnscramblesAcrossTheChunkBoundary) {
    std::vector<unsigned char> plain(8192 + 1 + 3);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<unsigned char>(i * 7 + 3);
    std::vector<unsigned char> scrambled = plain;
    for (auto& b : scrambled)
        b ^= kScrambleMask;
    writeSource(scrambled);
    ASSERT_EQ(copy(8193, true), 0);
    std::vector<unsigned char> expected(plain.begin(), plain.begin() + 8193);
    EXPECT_EQ(target(), expected);

    ASSERT_EQ(copy(3, false, 8193), 0);
    EXPECT_EQ(target(), std::vector<unsigned char>(scrambled.begin() + 8193, scrambled.end()));
}

TEST_F(CopyRange, NothingForNonPositiveLengthAndOneForShortSource) {
    writeSource({1, 2, 3});
    EXPECT_EQ(copy(0, true), 0);
    EXPECT_EQ(copy(-5, true), 0);
    EXPECT_TRUE(target().empty());
    EXPECT_EQ(copy(10, false), 1) << "reading past the end must fail, not loop";
    EXPECT_EQ(target(), (std::vector<unsigned char>{1, 2, 3}));
}

TEST(SplitArgumentsNarrow, AnsiTextKeepsEveryByteOfTheCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the expectations are written for cp1252";
    NarrowArgs out;
    // The euro sign (0x80) and Z with caron (0x8E) are U+20AC and U+017D:
    // above Latin-1, yet letters of the code page.
    splitArgumentsNarrow("-Xmx256m \"-Dname=Gr\xfc\xdf" "e x\" -Dsym=\x80\x8e!", out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "-Xmx256m");
    EXPECT_EQ(out[1], "-Dname=Gr\xfc\xdf" "e x");
    EXPECT_EQ(out[2], "-Dsym=\x80\x8e!");
}

TEST(NarrowArgument, EndsBeforeACharacterTheCodePageLacks) {
    ASSERT_EQ(GetACP(), 1252u) << "the expectations are written for cp1252";
    EXPECT_EQ(narrowArgument(u"-Dx=\u017d\u20ac"), "-Dx=\x8e\x80");
    // No look-alike: c with caron is not turned into c.
    EXPECT_EQ(narrowArgument(u"-Dcity=Mil\u010devi\u0107"), "-Dcity=Mil");
    // A character outside the basic plane is one character, not two units.
    EXPECT_EQ(narrowArgument(u"-Demoji=a\U0001F600b"), "-Demoji=a");
    EXPECT_EQ(narrowArgument(u""), "");
    EXPECT_EQ(narrowArgumentQuietly(u"-Dcity=\u0141\u00f3d\u017a"), "-Dcity=");
}

TEST(SplitArgumentsNarrow, OverlongTextIsCutNotOverrun) {
    std::string text(20000, 'a');
    text[100] = ' ';
    NarrowArgs out;
    splitArgumentsNarrow(text.c_str(), out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size(), 100u);
    EXPECT_LT(out[1].size(), 8192u);
}

}  // namespace
