#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/ConfigBlock.h"
#include "core/ConfigStore.h"
#include "tests/packer/PackerTestSupport.h"
#include "tools/kvo-pack/Block.h"
#include "tools/kvo-pack/Pack.h"
#include "tools/kvo-pack/RuntimeJar.h"
#include "tools/kvo-pack/SystemFiles.h"

using namespace kvopack;
using packertest::makePe32;
using packertest::readFile;
using packertest::ScratchDir;
using packertest::writeFile;

namespace {

BlockRecords recordsOf(const std::string& text) {
    CodePage page("1252");
    return parseConfigText(text, "app.kvo", page).records;
}

std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list)
        out += char(b);
    return out;
}

TEST(BlockWriter, TinyBlockByteForByte) {
    const std::string block = encodeBlock(recordsOf(
        "ApplicationName = Ab\n[wide]\n101 = \xC3\xA9\n[locale de]\n1000 = x\n"));
    const std::string expected = bytes({
        0xD5, 0x13, 0xE4, 0xE8, 0, 0, 0, 0, 0x1B, 0x58, 0x4E, 0x55,  // magic, two fields
        0x3C, 0, 0, 0, 0, 0, 0, 0,                                  // 72 - 12 bytes follow
        1, 0, 0, 0, 0x65, 0, 0, 0, 2, 0, 0, 0, 'A', 'b',            // narrow
        1, 0, 0, 0, 0x65, 0, 0, 0, 2, 0, 0, 0, 0xE9, 0,             // wide
        1, 0, 0, 0, 2, 0, 0, 0, 'd', 'e', 1, 0, 0, 0,               // locale "de"
        0xE8, 0x03, 0, 0, 2, 0, 0, 0, 'x', 0});
    EXPECT_EQ(block, expected);
}

TEST(BlockWriter, DecoderReadsWhatWasWritten) {
    const std::string image = makePe32();
    const std::string block = encodeBlock(recordsOf(
        "MinJavaVersion = 1.6\nExecutableType = 1\nMinJavaVersion = 1.8\n"
        "[wide]\n1000 = wide\n[locale de]\n1000 = Fehler\n[locale de_AT]\n1001 = Servus\n"
        "[locale fr]\n1000 = Erreur\n"));
    const std::string file = image + block + blockTrailer(int64_t(image.size() + block.size()));
    MemorySource source(file);
    ConfigStore store;
    int64_t end = 0;
    BlockFailure failure;
    ASSERT_TRUE(decodeConfigBlock(source, "de_AT", store, end, failure));
    EXPECT_EQ(end, int64_t(image.size() + block.size()));
    EXPECT_EQ(store.narrow[rec::MinJavaVersion], "1.8");  // the later record
    EXPECT_EQ(parseConfigInt(store.narrow[rec::ExecutableType]), 1);
    EXPECT_EQ(store.wide[1000], u"Fehler");
    EXPECT_EQ(store.wide[1001], u"Servus");
    EXPECT_EQ(file.size() % 512, 0u);
    EXPECT_EQ(file.substr(size_t(end), 4), bytes({0xE8, 0xE4, 0x13, 0xD5}));
}

TEST(BlockWriter, IncludedRecordsGoInAscendingPlace) {
    BlockRecords r = recordsOf("101 = a\n1000 = b\n10003 = .\n");
    addIncludedRecords(r.narrow, {"a.dll", "lib\\b.jar"});
    ASSERT_EQ(r.narrow.size(), 5u);
    EXPECT_EQ(r.narrow[2].id, rec::IncludedFileCount);
    EXPECT_EQ(r.narrow[2].value, "2");
    EXPECT_EQ(r.narrow[3].value, "a.dll;lib\\b.jar");
    EXPECT_EQ(r.narrow[4].id, rec::InstallationDirectory);
}

TEST(PeStub, FindsTheEndOfTheLastSection) {
    const std::string image = makePe32(3);
    MemorySource plain(image);
    EXPECT_EQ(imageEnd(plain, "stub"), int64_t(image.size()));
    const std::string packed = image + "anything behind the image";
    MemorySource withTail(packed);
    EXPECT_EQ(imageEnd(withTail, "stub"), int64_t(image.size()));
}

TEST(PeStub, BothWidthsOfTheLauncherAndWhichOneItIs) {
    std::string image64 = makePe32(2, 0x20B);
    packertest::put(image64, 0x84, 0x8664, 2);
    MemorySource stub64(image64);
    EXPECT_EQ(imageEnd(stub64, "stub"), int64_t(image64.size()));
    EXPECT_EQ(imageKind(stub64), "PE32+ x86-64");
    const std::string image32 = makePe32(2);
    MemorySource stub32(image32);
    EXPECT_EQ(imageKind(stub32), "PE32 i386");
    std::string arm = makePe32(2, 0x20B);
    packertest::put(arm, 0x84, 0xAA64, 2);
    MemorySource armStub(arm);
    EXPECT_EQ(imageKind(armStub), "PE32+ machine 0xAA64");
    const std::string script = "#!/bin/sh\n";
    MemorySource notAnImage(script);
    EXPECT_EQ(imageKind(notAnImage), "");
}

TEST(PeStub, RejectsWhatIsNotAPe32Image) {
    std::string badSignature = makePe32();
    badSignature[0x81] = 'X';
    std::string pastEnd = makePe32();
    pastEnd.resize(pastEnd.size() - 1);
    std::string hugeOffset = makePe32();
    packertest::put(hugeOffset, 60, 0x7FFFFFF0, 4);
    const struct {
        std::string image, expected;
    } cases[] = {
        {"#!/bin/sh\necho not an image\n", "no MZ header"},
        {"MZ", "no MZ header"},
        {badSignature, "no PE signature"},
        {hugeOffset, "no PE signature"},
        {makePe32(2, 0x107), "no PE32 or PE32+ optional header"},
        {makePe32(0), "it has no sections"},
        {pastEnd, "the data of section 2 runs past the end of the file"},
        {makePe32(3, 0x10B, true), "its last section header does not describe the end"},
    };
    for (const auto& c : cases) {
        MemorySource source(c.image);
        try {
            imageEnd(source, "stub.exe");
            ADD_FAILURE() << "accepted: " << c.expected;
        } catch (const PackError& e) {
            EXPECT_NE(std::string(e.what()).find("stub.exe: not a PE32 or PE32+ image: " + c.expected),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(SameFile, ANumberNamesAFileOnlyOnItsDevice) {
    sys::FileStatus a;
    a.device = 1;
    a.inode = 5;
    sys::FileStatus b = a;
    EXPECT_TRUE(sys::sameFile(a, b));
    b.device = 2;
    EXPECT_FALSE(sys::sameFile(a, b)) << "one number on two devices: two files";
    b = a;
    b.inode = 6;
    EXPECT_FALSE(sys::sameFile(a, b));
}

class Packing : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "stub.exe", makePe32());
        writeFile(dir / "app.kvo",
                  "ApplicationName = Demo\nMinJavaVersion = 1.6\nInstallationDirectory = .\n"
                  "[files]\nlib\\big.bin = big.bin\nempty.txt = empty.txt\n[narrow]\nMainClass = demo.Main\n");
        big.resize(8192 * 2 + 1);
        for (size_t i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 + i / 8192);
        writeFile(dir / "big.bin", big);
        writeFile(dir / "empty.txt", "");
    }
    BuildOptions options(const std::string& stub = "stub.exe") {
        BuildOptions o;
        o.stub = (dir / stub).string();
        o.config = (dir / "app.kvo").string();
        o.out = (dir / "app.exe").string();
        return o;
    }
    ScratchDir dir;
    std::string big;
};

TEST_F(Packing, IncludedFilesFollowTheBlockScrambledThenTheJavaHalfsClasses) {
    buildPackage(options());
    const std::string file = readFile(dir / "app.exe");
    const std::string image = makePe32();
    ASSERT_EQ(file.substr(0, image.size()), image);
    MemorySource source(file);
    ConfigStore store;
    int64_t end = 0;
    BlockFailure failure;
    ASSERT_TRUE(decodeConfigBlock(source, "", store, end, failure));
    EXPECT_EQ(store.narrow[rec::IncludedFileCount], "2");
    EXPECT_EQ(store.narrow[rec::IncludedFileNames], "lib\\big.bin;empty.txt");
    // What the launcher reads behind the block: length, scrambled bytes, and
    // for the empty file a length of 0 right behind; then the classes, where
    // record RuntimeClasses says.
    const std::string_view classes = runtimeClasses();
    const size_t files = 8 + big.size() + 8;
    std::string data = file.substr(size_t(end));
    ASSERT_EQ(data.size(), files + classes.size());
    EXPECT_EQ(data.substr(0, 8), bytes({0x01, 0x40, 0, 0, 0, 0, 0, 0}));
    std::string content = data.substr(8, big.size());
    scramble(content.data(), content.size());
    EXPECT_EQ(content, big);
    EXPECT_EQ(data.substr(8 + big.size(), 8), std::string(8, '\0'));
    EXPECT_EQ(store.narrow[rec::RuntimeClasses], std::to_string(files) + "," + std::to_string(classes.size()));
    EXPECT_EQ(data.substr(files), classes);
    EXPECT_TRUE(carriesJavaHalf(store));
}

TEST(JavaHalf, TheClassesThePackerCarriesReadAsTheLauncherReadsThem) {
    std::vector<RuntimeClass> classes;
    ASSERT_EQ(readRuntimeClasses(runtimeClasses(), classes), nullptr);
    std::vector<std::string> names;
    for (const RuntimeClass& c : classes)
        names.emplace_back(c.name);
    for (const char* needed : {"com/korvo/runtime/WinLauncher", "com/korvo/runtime/Splash",
                               "com/korvo/runtime/KorvoController", "com/vandrel/runtime/launcher/FirstRun",
                               "com/vandrel/runtime/launcher/WinLauncher"})
        EXPECT_NE(std::find(names.begin(), names.end(), needed), names.end()) << needed;
    for (const std::string& name : names)
        EXPECT_EQ(name.find("TempLeftovers"), std::string::npos) << "the sweeper is retired";
    // The jar vendors compile against holds the same classes.
    for (const std::string& name : names)
        EXPECT_NE(runtimeJar().find(name + ".class"), std::string_view::npos) << name;
}

TEST_F(Packing, DumpFindsTheClassesLastOrSaysWhereNot) {
    buildPackage(options());
    const std::string packed = readFile(dir / "app.exe");
    std::string flipped = packed;
    flipped[flipped.size() - 7] ^= 1;
    const struct {
        std::string file, problem;
    } cases[] = {{packed + "junk", "4 bytes follow them"},
                 {packed.substr(0, packed.size() - 1), "they run past the end of the file"},
                 {flipped, "its checksum does not match"}};
    for (const auto& c : cases) {
        writeFile(dir / "odd.exe", c.file);
        DumpOptions d;
        d.input = (dir / "odd.exe").string();
        try {
            dumpPackage(d);
            ADD_FAILURE() << "dumped: " << c.problem;
        } catch (const PackError& e) {
            EXPECT_NE(std::string(e.what()).find("the classes of kvo-runtime.jar are not where kvo-pack puts them (" +
                                                 c.problem),
                      std::string::npos)
                << e.what();
        }
        d.recordsOnly = true;
        const DumpResult records = dumpPackage(d);
        EXPECT_NE(records.text.find("RuntimeClasses = "), std::string::npos) << c.problem;
    }
}

TEST_F(Packing, DumpOfAnotherBuildsClassesSaysSoAndBuildsThisOnesBack) {
    writeFile(dir / "app.kvo", "ApplicationName = x\nMainClass = demo.Main\n");
    buildPackage(options());
    const std::string file = readFile(dir / "app.exe");
    MemorySource source(file);
    DecodedBlock block = readBlock(source, imageEnd(source, "app.exe"), "app.exe");
    // One class, as another build of the Java half might be.
    std::string body = std::string("\3\0a/B\x08\0\0\0", 9) + std::string("\xCA\xFE\xBA\xBE\0\0\0\x34", 8);
    std::string other = "KVOC" + std::string("\1\0\0\0", 4);
    for (int i = 0; i < 4; ++i)
        other += char((crc32(body) >> (8 * i)) & 0xFF);
    other += body;
    setRuntimeClassesRecord(block.records.narrow, formatRuntimeClassesPlace({0, uint32_t(other.size())}));
    writeFile(dir / "other.exe", file.substr(0, size_t(block.start)) + encodeBlock(block.records) + other);
    DumpOptions d;
    d.input = (dir / "other.exe").string();
    const DumpResult dumped = dumpPackage(d);
    EXPECT_NE(dumped.text.find("(1 classes, 29 bytes, another build than this kvo-pack's"), std::string::npos)
        << dumped.text;
    writeFile(dir / "dump.kvo", dumped.text);
    BuildOptions again = options();
    again.config = (dir / "dump.kvo").string();
    buildPackage(again);
    EXPECT_EQ(readFile(dir / "app.exe"), file);
}

TEST_F(Packing, PackingAPackedLauncherAgainGivesTheSameFile) {
    buildPackage(options());
    const std::string first = readFile(dir / "app.exe");
    std::filesystem::rename(dir / "app.exe", dir / "packed.exe");
    buildPackage(options("packed.exe"));
    EXPECT_EQ(readFile(dir / "app.exe"), first);
}

TEST_F(Packing, DumpBuildsBackToTheSameBytes) {
    buildPackage(options());
    const std::string packed = readFile(dir / "app.exe");
    DumpOptions d;
    d.input = (dir / "app.exe").string();
    d.extractDir = (dir / "out").string();
    d.textPath = (dir / "dump.kvo").string();
    const DumpResult result = dumpPackage(d);
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_NE(result.text.find("[files]\nlib\\big.bin = out/lib/big.bin\nempty.txt = out/empty.txt\n"),
              std::string::npos)
        << result.text;
    EXPECT_EQ(readFile(dir / "out/lib/big.bin"), big);
    EXPECT_TRUE(std::filesystem::exists(dir / "out/empty.txt"));
    writeFile(dir / "dump.kvo", result.text);
    BuildOptions again = options();
    again.config = (dir / "dump.kvo").string();
    buildPackage(again);
    EXPECT_EQ(readFile(dir / "app.exe"), packed);
}

TEST_F(Packing, FailureLeavesNothingBehind) {
    writeFile(dir / "app.exe", "old");
    std::filesystem::remove(dir / "empty.txt");
    const size_t before = dir.entries();
    try {
        buildPackage(options());
        ADD_FAILURE() << "a missing included file was accepted";
    } catch (const PackError& e) {
        EXPECT_NE(std::string(e.what()).find("app.kvo:6: cannot read "), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(dir / "app.exe"), "old");
    EXPECT_EQ(dir.entries(), before);  // no temporary file either
}

TEST_F(Packing, ExtractionNeverReplacesUnasked) {
    buildPackage(options());
    std::filesystem::create_directory(dir / "out");
    writeFile(dir / "out/empty.txt", "the user's");
    DumpOptions d;
    d.input = (dir / "app.exe").string();
    d.extractDir = (dir / "out").string();
    try {
        dumpPackage(d);
        ADD_FAILURE() << "an existing file was replaced";
    } catch (const PackError& e) {
        EXPECT_EQ(std::string(e.what()), (dir / "out/empty.txt").string() +
                                             " exists; nothing was written (--force replaces "
                                             "existing files)");
    }
    EXPECT_EQ(readFile(dir / "out/empty.txt"), "the user's");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/lib"));
    d.force = true;
    dumpPackage(d);
    EXPECT_EQ(readFile(dir / "out/empty.txt"), "");
    EXPECT_EQ(readFile(dir / "out/lib/big.bin"), big);

    // A name taken between the check and the rename is not taken over.
    AtomicFile late((dir / "late.txt").string(), 0644);
    late.write("mine? no");
    writeFile(dir / "late.txt", "theirs");
    EXPECT_THROW(late.commit(AtomicFile::keepExisting), PackError);
    EXPECT_EQ(readFile(dir / "late.txt"), "theirs");
}

TEST_F(Packing, DumpRefusesIncludedDataItCannotReproduce) {
    const struct {
        const char* count;
        const char* names;
        const char* problem;
    } cases[] = {
        // Three files announced, two names: the launcher extracts two and
        // leaves the rest, which a [files] section cannot express.
        {"3", "a;b", "IncludedFileCount is not the number of names in IncludedFileNames"},
        // Names the launcher cannot extract side by side: Windows compares
        // them without case.
        {"2", "a;A\\b", "included file name 'A\\b' needs a folder that the included file 'a' takes the name of"},
        {"2", "lib\\x;LIB", "included file name 'LIB' is the name of the folder that 'lib\\x' needs"},
        {"2", "\xE9.txt;\xC9.TXT", "included file name '\xC3\x89.TXT' occurs twice"},
    };
    for (const auto& c : cases) {
        BlockRecords r;
        r.narrow = {{101, "x"}, {rec::IncludedFileCount, c.count}, {rec::IncludedFileNames, c.names}};
        std::string file = makePe32() + encodeBlock(r);
        for (int i = 0; i < std::atoi(c.count); ++i)
            file += std::string(8, '\0');
        writeFile(dir / "odd.exe", file);
        DumpOptions d;
        d.input = (dir / "odd.exe").string();
        d.extractDir = (dir / "out").string();
        try {
            dumpPackage(d);
            ADD_FAILURE() << "dumped: " << c.names;
        } catch (const PackError& e) {
            EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
        d.recordsOnly = true;
        d.extractDir.reset();
        const DumpResult result = dumpPackage(d);
        ASSERT_EQ(result.warnings.size(), 1u);
        EXPECT_NE(result.text.find(std::string("IncludedFileCount = ") + c.count + "\n"), std::string::npos);
    }
    // A name among the images that an extraction writes, in any case.
    BlockRecords r;
    r.narrow = {{rec::IncludedFileCount, "1"}, {rec::IncludedFileNames, ".KVO-Resources\\icon.ico"}};
    writeFile(dir / "odd.exe", makePe32() + encodeBlock(r) + std::string(8, '\0'));
    DumpOptions d;
    d.input = (dir / "odd.exe").string();
    d.extractDir = (dir / "out").string();
    EXPECT_THROW(dumpPackage(d), PackError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST_F(Packing, DumpReportsADamagedBlockAsTheLauncherWould) {
    std::string file = makePe32() + encodeBlock(recordsOf("101 = Demo\n"));
    file.resize(file.size() - 4);  // without the count of locale sections
    writeFile(dir / "cut.exe", file);
    DumpOptions d;
    d.input = (dir / "cut.exe").string();
    try {
        dumpPackage(d);
        ADD_FAILURE() << "a cut block was dumped";
    } catch (const PackError& e) {
        EXPECT_NE(std::string(e.what()).find("Internal Error: readInt"), std::string::npos) << e.what();
    }
    writeFile(dir / "bare.exe", makePe32());
    d.input = (dir / "bare.exe").string();
    EXPECT_THROW(dumpPackage(d), PackError);
}

}  // namespace
