#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "jvm/LauncherArgs.h"
#include "jvm/VmText.h"

namespace {

LauncherArgsInput shipped() {
    LauncherArgsInput in;
    in.guiApplication = true;
    in.mainClass = "com.example.Main";
    in.outputFile1 = u"C:\\app\\output.log";
    in.outputFile2 = u"C:\\app\\output.log";
    in.launcherFlag = true;
    return in;
}

TEST(LauncherArguments, SixLeadingElementsWithoutUserArguments) {
    EXPECT_EQ(buildLauncherArguments(shipped(), {u"app.exe"}),
              (WideArgs{u"true", u"com.example.Main", u"C:\\app\\output.log", u"C:\\app\\output.log", u"true",
                        u"app.exe"}));
    LauncherArgsInput off;
    off.mainClass = "M";
    EXPECT_EQ(buildLauncherArguments(off, {u"x"}), (WideArgs{u"false", u"M", u"", u"", u"false", u"x"}));
    EXPECT_EQ(buildLauncherArguments(off, {}).size(), 5u) << "no command-line name without a vector";
}

TEST(LauncherArguments, ConfiguredBeforeUserAndWithheldLeftOut) {
    LauncherArgsInput in = shipped();
    in.configuredArguments = {u"--fixed", u"two words"};
    in.acceptJOptions = true;
    const WideArgs cmd{u"app.exe", u"-J-Xmx512m", u"file.txt", u"-Dsun.locale.formatasdefault=false",
                       u"-console", u"__vdl_lang_restart", u"\u65e5\u672c"};
    const WideArgs out = buildLauncherArguments(in, cmd);
    const WideArgs tail(out.begin() + 6, out.end());
    EXPECT_EQ(tail, (WideArgs{u"--fixed", u"two words", u"file.txt", u"-console", u"__vdl_lang_restart",
                              u"\u65e5\u672c"}));

    in.acceptJOptions = false;
    const WideArgs kept = buildLauncherArguments(in, cmd);
    EXPECT_EQ(kept[8], u"-J-Xmx512m") << "-J reaches main unless it is accepted as a VM option";
    for (const auto& a : kept)
        EXPECT_NE(a, u"-Dsun.locale.formatasdefault=false");
}

TEST(LauncherArguments, MainClassBytesWidenOneByOne) {
    LauncherArgsInput in;
    in.mainClass = "caf\xe9.Main";
    EXPECT_EQ(buildLauncherArguments(in, {})[1], u"caf\u00e9.Main");
}

TEST(LauncherClass, ByFlavour) {
    EXPECT_STREQ(launcherClassName('i'), "com/vandrel/runtime/launcher/WinLauncher");
    EXPECT_STREQ(launcherClassName('e'), "com/korvo/runtime/WinLauncher");
    EXPECT_STREQ(launcherClassName('\0'), "com/korvo/runtime/WinLauncher");
    EXPECT_EQ(slashedClassName("a.b.C"), "a/b/C");
}

TEST(LauncherArguments, WithheldForms) {
    const struct {
        const char16_t* arg;
        bool withheldWhenJAccepted;
        bool withheldOtherwise;
    } cases[] = {
        {u"-J-Xmx512m", true, false},
        {u"-J", true, false},
        {u"-j-Xmx512m", false, false},
        {u"-", false, false},
        {u"", false, false},
        {u"J-Xmx512m", false, false},
        {u"-Dsun.locale.formatasdefault=true", true, true},
        {u"-Dsun.locale.formatasdefault=false", true, true},
        {u"-Dsun.locale.formatasdefault=", true, true},
        {u"-Dsun.locale.formatasdefault=TRUE", true, true},
        {u"-Dsun.locale.formatasdefault", false, false},
        {u"-Dsun.locale.formatasdefaultX=1", false, false},
        {u"-Dsun.locale.formatAsDefault=false", false, false},
        {u"-dsun.locale.formatasdefault=false", false, false},
        {u" -Dsun.locale.formatasdefault=false", false, false},
        {u"-Dsun.locale.other=false", false, false},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const char16_t* p = c.arg; *p; ++p)
            shown += static_cast<char>(*p);
        EXPECT_EQ(isWithheldArgument(c.arg, true), c.withheldWhenJAccepted) << "[" << shown << "] -J accepted";
        EXPECT_EQ(isWithheldArgument(c.arg, false), c.withheldOtherwise) << "[" << shown << "]";
    }
}

// What the VM printed, in the pieces HotSpot prints it in.
TEST(VmText, LinesFromPiecesAndTheLastWords) {
    VmText text;
    using Lines = std::vector<std::string>;
    EXPECT_EQ(text.add("Error occurred during initialization of VM\n"),
              Lines{"Error occurred during initialization of VM"});
    EXPECT_EQ(text.add("Could not reserve enough space for 3145728KB object heap"), Lines{});
    EXPECT_EQ(text.add("\r\n"), Lines{"Could not reserve enough space for 3145728KB object heap"});
    EXPECT_EQ(text.add("a\n\nb"), (Lines{"a", ""}));
    EXPECT_EQ(text.takeBegun(), "b");
    EXPECT_EQ(text.takeBegun(), "");
    EXPECT_EQ(text.lastWords(1024),
              "Error occurred during initialization of VM\nCould not reserve enough space for 3145728KB object "
              "heap\r\na\n\nb");
    // Cut to whole lines within the limit.
    EXPECT_EQ(text.lastWords(12), "a\n\nb");
    EXPECT_EQ(text.lastWords(1), "b");
    VmText exact;
    exact.add("aaa\nbbb\nccc");
    EXPECT_EQ(exact.lastWords(7), "bbb\nccc") << "a window that begins a line keeps that line";
    EXPECT_EQ(exact.lastWords(6), "ccc");
    EXPECT_EQ(VmText().lastWords(100), "");
    VmText blanks;
    blanks.add("\n  \n");
    EXPECT_EQ(blanks.lastWords(100), "");
}

TEST(VmText, BoundedWhateverTheVmPrints) {
    VmText text;
    const std::string chunk(1000, 'x');
    size_t pieces = 0;
    for (int i = 0; i < 20; ++i)
        for (const std::string& line : text.add(chunk)) {
            EXPECT_EQ(line.size(), VmText::kLineLimit);
            ++pieces;
        }
    EXPECT_EQ(pieces, 20000 / VmText::kLineLimit);
    EXPECT_EQ(text.takeBegun().size(), 20000 % VmText::kLineLimit);
    text.add(std::string(3 * VmText::kKept, 'y') + "\nlast line");
    EXPECT_EQ(text.lastWords(VmText::kKept * 2), std::string(VmText::kKept - 10, 'y') + "\nlast line");
    EXPECT_EQ(text.lastWords(20), "last line");
}

}  // namespace

TEST(DirectMain, OnlyAPlainNameWithoutOutputFiles) {
    const WideArgs plain{u"true", u"com.example.Main", u"", u"", u"false", u"app.exe", u"one"};
    const std::optional<DirectMain> direct = directMainOf(plain);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->className, "com/example/Main");
    EXPECT_TRUE(direct->guiApplication);

    const struct {
        const char16_t* name;
        const char* slashed;  // nullptr: left to the launcher class
    } names[] = {
        {u"Main", "Main"},
        {u"a/b/C$Inner", "a/b/C$Inner"},
        {u"_x.$y.Z9", "_x/$y/Z9"},
        {u"", nullptr},
        {u" com.example.Main", nullptr},
        {u"com.example.Main ", nullptr},
        {u"com..Main", nullptr},
        {u".Main", nullptr},
        {u"Main.", nullptr},
        {u"com.9lives.Main", nullptr},
        {u"com.example.Main;", nullptr},
        {u"[Ljava.lang.String;", nullptr},
        {u"caf\u00e9.Main", nullptr},
        {u"com.example.Ma-in", nullptr},
    };
    for (const auto& c : names) {
        WideArgs values = plain;
        values[1] = c.name;
        const std::optional<DirectMain> got = directMainOf(values);
        EXPECT_EQ(got.has_value(), c.slashed != nullptr) << "case " << (&c - names);
        if (got && c.slashed)
            EXPECT_EQ(got->className, c.slashed);
    }

    WideArgs out = plain;
    out[2] = u"C:\\app\\out.log";
    EXPECT_FALSE(directMainOf(out)) << "an output file is the launcher class's to open";
    WideArgs err = plain;
    err[3] = u"$left-to-the-application";
    EXPECT_FALSE(directMainOf(err)) << "so is a name left to the application";
    EXPECT_FALSE(directMainOf(WideArgs(plain.begin(), plain.begin() + 5))) << "without the launcher's name";
    WideArgs console = plain;
    console[0] = u"false";
    EXPECT_FALSE(directMainOf(console)->guiApplication);
}

TEST(DirectMain, SingleInstanceModeByTheLastSetting) {
    using Options = std::deque<std::string>;
    EXPECT_FALSE(namesCommFile(Options{}));
    EXPECT_FALSE(namesCommFile(Options{"-Dkorvo.tempDir=C:\\t", "-Xmx64m"}));
    EXPECT_TRUE(namesCommFile(Options{"-Dkorvo.processCommFile=C:\\t\\kvo_p12.tmp"}));
    EXPECT_FALSE(namesCommFile(Options{"-Dkorvo.processCommFile="}));
    EXPECT_FALSE(namesCommFile(Options{"-Dkorvo.processCommFile=C:\\a", "-Dkorvo.processCommFile="}));
    EXPECT_TRUE(namesCommFile(Options{"-Dkorvo.processCommFile=", "-Dkorvo.processCommFile=C:\\a"}));
    EXPECT_FALSE(namesCommFile(Options{"-Dkorvo.processCommFileX=C:\\a", "-dkorvo.processCommFile=C:\\a"}));
}

TEST(DirectMain, PropertiesTheVmMaySetFromElsewhere) {
    using Options = std::deque<std::string>;
    const Options plain{"-Dkorvo.tempDir=C:\\t", "-Xmx64m"};
    EXPECT_FALSE(othersMaySetLauncherProperties(plain, ""));
    EXPECT_FALSE(othersMaySetLauncherProperties(plain, "-Xmx1g -Dapp.korvo=1 "));
    EXPECT_TRUE(othersMaySetLauncherProperties(plain, "-Xmx1g -Dkorvo.guiApplication=x "));
    EXPECT_TRUE(othersMaySetLauncherProperties(Options{"-Xmx64m", "-XX:VMOptionsFile=C:\\o.txt"}, ""));
}
