#include <gtest/gtest.h>

#include <string>

#include "jvm/LauncherArgs.h"

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

}  // namespace
