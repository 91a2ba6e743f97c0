#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/BoundedCopy.h"
#include "core/ConfigStore.h"
#include "core/MessageText.h"
#include "core/WebAddress.h"

namespace {

TEST(ConfigInt, ConvertsLikeTheCLibrary) {
    EXPECT_EQ(parseConfigInt("419"), 419);
    EXPECT_EQ(parseConfigInt(" 12abc"), 12);
    EXPECT_EQ(parseConfigInt("abc"), 0);
    EXPECT_EQ(parseConfigInt(""), 0);
    EXPECT_EQ(parseConfigInt("\t-5"), -5);
    EXPECT_EQ(parseConfigInt("+7"), 7);
    EXPECT_EQ(parseConfigInt("- 5"), 0);
    EXPECT_EQ(parseConfigInt("1.6"), 1);
    // Every C space leads, its neighbours do not.
    EXPECT_EQ(parseConfigInt(" \t\n\v\f\r7"), 7);
    EXPECT_EQ(parseConfigInt("\r7"), 7);
    EXPECT_EQ(parseConfigInt("\x08" "7"), 0);
    EXPECT_EQ(parseConfigInt("\x0e" "7"), 0);
}

TEST(ConfigInt, ClampsAtTheIntRange) {
    EXPECT_EQ(parseConfigInt("2147483647"), 2147483647);
    EXPECT_EQ(parseConfigInt("2147483648"), 2147483647);
    EXPECT_EQ(parseConfigInt("99999999999999999999999"), 2147483647);
    EXPECT_EQ(parseConfigInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseConfigInt("-2147483649"), INT32_MIN);
    EXPECT_EQ(parseConfigInt("-99999999999999999999999"), INT32_MIN);
}

TEST(ConfigColor, CombinesComponentsAsColorref) {
    EXPECT_EQ(parseConfigColor("0,0,0"), 0u);
    EXPECT_EQ(parseConfigColor("255,128,0"), 255u + 128u * 256u);
    EXPECT_EQ(parseConfigColor("1,2,3"), 1u + 2u * 256u + 3u * 65536u);
    EXPECT_EQ(parseConfigColor("256,257,-1"), 0u + 1u * 256u + 255u * 65536u);
    EXPECT_EQ(parseConfigColor("9"), 9u);
    EXPECT_EQ(parseConfigColor("9,"), 9u);
    EXPECT_EQ(parseConfigColor(""), 0u);
    EXPECT_EQ(parseConfigColor(",5,6"), 5u * 256u + 6u * 65536u);
}

TEST(ConfigStore, GettersTreatMissingAndEmptyAlike) {
    configStore().narrow[500] = "";
    configStore().narrow[501] = "12 monkeys";
    EXPECT_STREQ(getConfigString(499), "");
    EXPECT_STREQ(getConfigString(500), "");
    EXPECT_EQ(getConfigInt(499), 0);
    EXPECT_EQ(getConfigInt(500), 0);
    EXPECT_EQ(getConfigInt(501), 12);
    EXPECT_TRUE(getConfigBool(501));
}

// Each copy gets a buffer larger than the capacity it is told, filled with
// '#': whatever lies at or behind the capacity must still be '#'.
TEST(BoundedCopy, ExactFitsCutOrRefuseAndNeverWriteBehind) {
    const struct {
        const char* text;
        size_t capacity;
        bool cutWhole;
        const char* cut;
        bool wholeWhole;
        const char* whole;
    } cases[] = {
        {"abc", 4, true, "abc", true, "abc"},       // exactly fits with its terminator
        {"abcd", 4, false, "abc", false, ""},       // as long as the buffer
        {"abcde", 4, false, "abc", false, ""},
        {"", 1, true, "", true, ""},
        {"a", 1, false, "", false, ""},
        {"", 0, false, nullptr, false, nullptr},   // no room: nothing written
        {"abc", 0, false, nullptr, false, nullptr},
    };
    for (const auto& c : cases) {
        for (bool cut : {true, false}) {
            char buffer[16];
            std::memset(buffer, '#', sizeof buffer);
            const bool ok = cut ? copyCut(buffer, c.capacity, c.text) : copyWhole(buffer, c.capacity, c.text);
            const char* expected = cut ? c.cut : c.whole;
            const std::string label = std::string(cut ? "cut" : "whole") + " \"" + c.text + "\" into " +
                                      std::to_string(c.capacity);
            EXPECT_EQ(ok, cut ? c.cutWhole : c.wholeWhole) << label;
            if (expected)
                EXPECT_STREQ(buffer, expected) << label;
            for (size_t i = c.capacity; i < sizeof buffer; ++i)
                EXPECT_EQ(buffer[i], '#') << label << ": byte " << i << " written";
        }
    }

    // The record getter cuts by the same rule.
    configStore().narrow[502] = "12 monkeys";
    char exact[11];
    EXPECT_TRUE(getConfigString(502, exact, sizeof exact));
    EXPECT_STREQ(exact, "12 monkeys");
    char guarded[12];
    std::memset(guarded, '#', sizeof guarded);
    EXPECT_FALSE(getConfigString(502, guarded, 10));
    EXPECT_STREQ(guarded, "12 monkey");
    EXPECT_EQ(guarded[10], '#');
    EXPECT_EQ(guarded[11], '#');
}

TEST(MessageText, OnlyTheFirstPlaceholderIsReplaced) {
    EXPECT_EQ(fillPlaceholders("An internal error occurred (error code: {0})", "16", nullptr, nullptr),
              "An internal error occurred (error code: 16)");
    EXPECT_EQ(fillPlaceholders("{0} and {0}", "x", nullptr, nullptr), "x and {0}");
    EXPECT_EQ(fillPlaceholders("no placeholder", "x", nullptr, nullptr), "no placeholder");
    EXPECT_EQ(fillPlaceholders("{0}", "{0}", nullptr, nullptr), "{0}");
    // A message without an argument reads as written, placeholders and all.
    EXPECT_EQ(fillPlaceholders("The JVM could not be started. {0}{1}", nullptr, nullptr, nullptr),
              "The JVM could not be started. {0}{1}");
    // The same rule over wide texts, where a missing {3} stays too.
    MessageArguments arguments;
    arguments[0] = u"{1}";
    arguments[1] = u"b";
    EXPECT_EQ(fillPlaceholders(std::u16string_view(u"{0}{0}{1}{3}{"), arguments), u"{1}{0}b{3}{");
}

TEST(WebAddress, OnlyWhatABrowserShouldOpen) {
    for (const char* good : {"https://example.com/java", "HTTP://example.com", "https://example.com/a?b=c&d=%20#x",
                             "http://127.0.0.1:8080/"})
        EXPECT_TRUE(isWebAddress(good)) << good;
    for (const char* bad : {"", "example.com", "https://", "https:///path", "file:///c:/windows/calc.exe",
                            "C:\\Windows\\calc.exe", "calc.exe", "https://exa mple.com", "https://example.com/\"a",
                            "https://example.com/\x01", "https://ex\xC3\xA4mple.com", "javascript:alert(1)",
                            "https://example.com\\..\\x.exe", " https://example.com"})
        EXPECT_FALSE(isWebAddress(bad)) << bad;
    const std::string longest = "https://e.com/" + std::string(kWebAddressMax - 14, 'a');
    EXPECT_TRUE(isWebAddress(longest));
    EXPECT_FALSE(isWebAddress(longest + "a"));
}

TEST(MessageText, WideBeforeNarrowBeforeBuiltIn) {
    struct Row {
        const char* label;
        int32_t id;
        const char16_t* wide;  // the wide map after the locale sections, or none
        const char* narrow;    // the narrow record, or none
        const char* application;
        const char16_t* expectWide;
        const char* expectNarrow;
        bool builtIn;
    };
    const Row rows[] = {
        {"wide wins", 1010, u"Hauptklasse fehlt: {1}", "Couldn't load main class.", "", u"Hauptklasse fehlt: {1}", "", false},
        {"empty wide is none", 1010, u"", "Couldn't load main class.", "", u"", "Couldn't load main class.", false},
        {"narrow", 1010, nullptr, "Couldn't load main class.", "", u"", "Couldn't load main class.", false},
        {"empty narrow reads as built-in", 1011, nullptr, "", "", u"", "Main method not found.\n\n{1}", true},
        {"title without a name", 1000, nullptr, nullptr, "", u"", "Error", true},
        {"title is the application's name", 1000, nullptr, nullptr, "Acme Viewer", u"", "Acme Viewer", true},
        {"the vendor's title wins", 1000, nullptr, "Fehler", "Acme Viewer", u"", "Fehler", false},
        {"a wide title wins too", 1000, u"エラー", nullptr, "Acme Viewer", u"エラー", "", false},
        {"no message", 122, nullptr, nullptr, "", u"", "", false},
    };
    for (const Row& row : rows) {
        configStore() = ConfigStore();
        if (row.wide)
            configStore().wide[row.id] = row.wide;
        if (row.narrow)
            configStore().narrow[row.id] = row.narrow;
        configStore().narrow[rec::ApplicationName] = row.application;
        const MessageSource found = findMessage(row.id);
        EXPECT_EQ(found.wide, row.expectWide) << row.label;
        EXPECT_EQ(found.narrow, row.expectNarrow) << row.label;
        EXPECT_EQ(found.builtIn, row.builtIn) << row.label;
    }
    configStore() = ConfigStore();
    // The Java failure that ended the start is named where the launcher knows it.
    EXPECT_EQ(fillPlaceholders(findMessage(1005).narrow, nullptr, "java.lang.ClassNotFoundException: com.acme.Mian",
                               nullptr),
              "The application could not be started.\n\njava.lang.ClassNotFoundException: com.acme.Mian");
    // Written for whoever starts the application: no records, no variables.
    const std::string noJvm = fillPlaceholders(findMessage(1016).narrow, "64", "17 or later", "none");
    EXPECT_EQ(noJvm, "This application needs 64-bit Java (17 or later), which was not found on this computer.\n"
                     "Found: none.\n\nPlease install Java, then start the application again.");
    EXPECT_EQ(fillPlaceholders(std::u16string_view(u"Java {1} ({0}-Bit) fehlt; gefunden: {2}. {3}"),
                               MessageArguments{u"64", u"17 oder neuer", u"keines", u"https://example.com/java"}),
              u"Java 17 oder neuer (64-Bit) fehlt; gefunden: keines. https://example.com/java");
    const std::string withAddress(kBuiltInNoJvmWithDownload), without(builtInMessage(1016));
    EXPECT_EQ(withAddress.substr(0, withAddress.find("\n\n")), without.substr(0, without.find("\n\n")));
    EXPECT_TRUE(withAddress.ends_with("{3}"));
}

}  // namespace
