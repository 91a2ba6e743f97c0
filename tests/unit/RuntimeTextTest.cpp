#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/RuntimeText.h"

namespace {

TEST(SearchSequence, EntriesKeepOrderAndSkipEmptyOnes) {
    const auto entries = splitSearchSequence("B.\\jre;Y;;EJAVA_HOME;EJDK_HOME;");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].letter, 'B');
    EXPECT_EQ(entries[0].text, ".\\jre");
    EXPECT_EQ(entries[1].letter, 'Y');
    EXPECT_EQ(entries[1].text, "");
    EXPECT_EQ(entries[3].text, "JDK_HOME");
    EXPECT_TRUE(splitSearchSequence("").empty());
    EXPECT_TRUE(splitSearchSequence(";;;").empty());
    EXPECT_EQ(splitSearchSequence("S").size(), 1u);
    EXPECT_EQ(splitList("c:\\app1;;c:\\app2"), (std::vector<std::string>{"c:\\app1", "c:\\app2"}));
}

TEST(SearchSequence, AbsoluteLocations) {
    EXPECT_TRUE(isAbsoluteLocation("C:\\rt"));
    EXPECT_TRUE(isAbsoluteLocation("c:"));
    EXPECT_TRUE(isAbsoluteLocation("c:rt"));
    EXPECT_TRUE(isAbsoluteLocation("\\\\server\\share"));
    EXPECT_FALSE(isAbsoluteLocation("jre"));
    EXPECT_FALSE(isAbsoluteLocation(".\\jre"));
    EXPECT_FALSE(isAbsoluteLocation("\\jre"));
    EXPECT_FALSE(isAbsoluteLocation("c"));
    EXPECT_FALSE(isAbsoluteLocation(""));
}

TEST(ExecutablePaths, BinDirectoryHomeAndWindowedTwin) {
    EXPECT_EQ(binDirectoryOf("c:\\app\\jre\\bin\\java.exe"), "c:\\app\\jre\\bin");
    EXPECT_EQ(binDirectoryOf("c:\\x\\jre\\bin\\javaw.exe"), "c:\\x\\jre\\bin");
    EXPECT_EQ(directoryPrefixOf("c:\\app\\jre\\bin\\java.exe"), "c:\\app\\jre\\bin\\");
    EXPECT_EQ(jvmHomeOf("c:\\app\\jre\\bin\\javaw.exe"), "c:\\app\\jre\\bin\\..");
    EXPECT_EQ(jvmHomeOf("C:\\rt\\bin\\java.exe"), "C:\\rt\\bin\\..");
    // The exact, case-sensitive name decides; anything else loses 8.
    EXPECT_EQ(binDirectoryOf("c:\\rt\\bin\\JAVAW.EXE"), "c:\\rt\\bin\\");
    EXPECT_EQ(binDirectoryOf("c:\\rt\\bin\\jdb.exe"), "c:\\rt\\bi");
    // Too short to cut: nothing, never a wrap-around.
    EXPECT_EQ(binDirectoryOf("java"), "");
    EXPECT_EQ(directoryPrefixOf(""), "");
    // Names exactly as long as the part that is cut.
    EXPECT_EQ(directoryPrefixOf("javaw.exe"), "");
    EXPECT_EQ(directoryPrefixOf("java.exe"), "");
    EXPECT_EQ(directoryPrefixOf("\\javaw.exe"), "\\");
    EXPECT_EQ(jvmHomeOf("x"), "..");
    EXPECT_EQ(windowedExecutableOf("c:\\rt\\bin\\java.exe"), "c:\\rt\\bin\\javaw.exe");
    EXPECT_EQ(windowedExecutableOf("abc"), "abc");
    EXPECT_EQ(windowedExecutableOf(".exe"), "w.exe");
}

TEST(ExecutablePaths, CacheKeyUsesForwardSlashes) {
    EXPECT_EQ(versionCacheKey("c:\\rt\\bin\\java.exe"),
              "SOFTWARE\\orrin-labs\\korvo\\jvms\\c:/rt/bin/java.exe");
    EXPECT_EQ(replaceChar("c:/rt/bin/java.exe", '/', '\\'), "c:\\rt\\bin\\java.exe");
}

TEST(PackedRuntime, ArchiveOrderAndCommandLine) {
    // rt.jar first; jsse.jar last, as it marks a home as unpacked.
    const char* const expected[] = {"lib\\rt.jar",     "lib\\jfxrt.jar",          "lib\\charsets.jar", "lib\\plugin.jar",
                                    "lib\\deploy.jar", "lib\\ext\\localedata.jar", "lib\\jsse.jar"};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_STREQ(packedArchives[i], expected[i]) << i;
    EXPECT_EQ(unpackCommandLine("c:\\r t\\bin\\unpack200.exe", "c:\\r t\\lib\\rt.jar.pack", "c:\\r t\\lib\\rt.jar"),
              "\"c:\\r t\\bin\\unpack200.exe\" -r \"c:\\r t\\lib\\rt.jar.pack\" \"c:\\r t\\lib\\rt.jar\"");
}

TEST(PeHeader, MachineOfImageBytes) {
    unsigned char image[256] = {};
    image[0] = 'M';
    image[1] = 'Z';
    image[60] = 0x80;
    std::memcpy(image + 0x80, "PE\0\0\x64\x86", 6);
    uint32_t offset = 0;
    ASSERT_TRUE(peSignatureOffset(image, sizeof image, offset));
    EXPECT_EQ(offset, 0x80u);
    uint16_t machine = 0;
    ASSERT_TRUE(peMachineAt(image + offset, sizeof image - offset, machine));
    EXPECT_EQ(machine, 0x8664);
    image[0x84] = 0x4C;
    image[0x85] = 0x01;
    ASSERT_TRUE(peMachineAt(image + offset, 6, machine));
    EXPECT_EQ(machine, peMachineI386);

    EXPECT_FALSE(peSignatureOffset(image, 63, offset));
    EXPECT_FALSE(peMachineAt(image + offset, 5, machine));
    image[0x81] = 'X';
    EXPECT_FALSE(peMachineAt(image + offset, 6, machine));
    image[1] = 'X';
    EXPECT_FALSE(peSignatureOffset(image, sizeof image, offset));
}

TEST(PeHeader, DosHeaderEdges) {
    struct Case {
        const char* name;
        size_t size;
        const char* magic;
        bool ok;
    };
    const Case cases[] = {
        {"smallest valid header", 64, "MZ", true},
        {"one byte short", 63, "MZ", false},
        {"nothing", 0, "MZ", false},
        {"swapped magic", 64, "ZM", false},
        {"lower-case magic", 64, "mz", false},
        {"second byte wrong", 64, "MX", false},
        {"first byte wrong", 64, "NZ", false},
    };
    for (const Case& c : cases) {
        unsigned char header[64] = {};
        header[0] = static_cast<unsigned char>(c.magic[0]);
        header[1] = static_cast<unsigned char>(c.magic[1]);
        // Four distinct bytes, so the byte order shows.
        header[60] = 0x78;
        header[61] = 0x56;
        header[62] = 0x34;
        header[63] = 0x92;
        uint32_t offset = 7;
        EXPECT_EQ(peSignatureOffset(header, c.size, offset), c.ok) << c.name;
        EXPECT_EQ(offset, c.ok ? 0x92345678u : 7u) << c.name << std::hex << ": offset 0x" << offset;
    }
}

TEST(PeHeader, SignatureMustBeExactlyPEAndTwoZeroBytes) {
    struct Case {
        const char* name;
        std::string bytes;  // signature and machine field
        uint16_t machine;   // 0: rejected
    };
    const Case cases[] = {
        {"i386", std::string("PE\0\0\x4C\x01", 6), peMachineI386},
        {"exactly six bytes of x64", std::string("PE\0\0\x64\x86", 6), 0x8664},
        {"third byte wrong", std::string("PE\x01\0\x4C\x01", 6), 0},
        {"fourth byte wrong", std::string("PE\0\x01\x4C\x01", 6), 0},
        {"PE followed by text", std::string("PEXY\x4C\x01", 6), 0},
        {"lower case", std::string("pe\0\0\x4C\x01", 6), 0},
        {"first byte wrong", std::string("QE\0\0\x4C\x01", 6), 0},
        {"second byte wrong", std::string("PF\0\0\x4C\x01", 6), 0},
        {"machine field cut", std::string("PE\0\0\x4C", 5), 0},
    };
    for (const Case& c : cases) {
        uint16_t machine = 0xBEEF;
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(peMachineAt(bytes, c.bytes.size(), machine), c.machine != 0) << c.name;
        EXPECT_EQ(machine, c.machine != 0 ? c.machine : 0xBEEF)
            << c.name << std::hex << ": machine 0x" << machine;
    }
}

}  // namespace
