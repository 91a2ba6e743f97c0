// Order, case and bounds of variable replacement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvm/VariableText.h"

namespace {

struct Line {
    std::string pattern, value, text;
};
std::vector<Line> expandedLines;
std::vector<std::string> refusedPatterns;

void recordExpanded(const char* pattern, const char* value, const char* text) {
    expandedLines.push_back({pattern, value, text});
}
void recordRefused(const char* pattern, size_t, const char*) { refusedPatterns.push_back(pattern); }

class VariableText : public ::testing::Test {
protected:
    void SetUp() override {
        expandedLines.clear();
        refusedPatterns.clear();
        report.expanded = recordExpanded;
        report.refused = recordRefused;
    }
    std::string launcher(std::string text) {
        replaceLauncherVariables(text, values, report);
        return text;
    }
    std::string environment(std::string text, const std::string& block) {
        replaceEnvironmentVariables(text, block.c_str(), report);
        return text;
    }
    ExpandReport report;
    LauncherValues values{"C:\\Apps\\Tool\\", "C:\\T\\kvo1.tmp_dir5", "", "C:\\Temp\\"};
};

// An environment block: entries separated by NUL, an empty entry at the end.
std::string block(std::initializer_list<const char*> entries) {
    std::string b;
    for (const char* e : entries) {
        b += e;
        b += '\0';
    }
    b += '\0';
    return b;
}

TEST_F(VariableText, EveryFixedPatternHasItsValue) {
    values.jvmHome = "C:\\jre";
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"%KORVO_EXEDIR%", "C:\\Apps\\Tool\\"},
        {"%VANDREL_EXEDIR%", "C:\\Apps\\Tool\\"},
        {"%KORVO_TEMPDIR%", "C:\\T\\kvo1.tmp_dir5"},
        {"%VANDREL_TEMPDIR%", "C:\\T\\kvo1.tmp_dir5"},
        {"%KORVO_PATHLIST_SEPARATOR%", ";"},
        {"%VANDREL_PATHLIST_SEPARATOR%", ";"},
        {"%KORVO_JVM_HOME%", "C:\\jre"},
        {"%VANDREL_JVM_HOME%", "C:\\jre"},
        {"${KORVO_EXEDIR}", "C:\\Apps\\Tool\\"},
        {"${VANDREL_EXEDIR}", "C:\\Apps\\Tool\\"},
        {"${KORVO_TEMPDIR}", "C:\\T\\kvo1.tmp_dir5"},
        {"${VANDREL_TEMPDIR}", "C:\\T\\kvo1.tmp_dir5"},
        {"${KORVO_PATHLIST_SEPARATOR}", ";"},
        {"${VANDREL_PATHLIST_SEPARATOR}", ";"},
        {"${KORVO_JVM_HOME}", "C:\\jre"},
        {"${VANDREL_JVM_HOME}", "C:\\jre"},
        {"${launcher:sys.launcherDirectory}", "C:\\Apps\\Tool\\"},
        {"${launcher:sys.launcherTempDirectory}", "C:\\T\\kvo1.tmp_dir5"},
        {"${launcher:sys.pathlistSeparator}", ";"},
        {"${launcher:sys.jvmHome}", "C:\\jre"},
        {"${launcher:sys.tempDir}", "C:\\Temp\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(launcher(std::string("<") + c.text + ">"), std::string("<") + c.expected + ">") << c.text;
}

// Finding the system temp directory costs file-system calls: it is asked for
// only when the text still names it after the other patterns, and then for
// every occurrence's one value.
int tempLookups = 0;
std::string countedTemp() {
    ++tempLookups;
    return "D:\\Tmp\\";
}

TEST_F(VariableText, SystemTempDirectoryIsLookedUpOnlyWhenNamed) {
    values.systemTempDir = {};
    values.findSystemTempDir = countedTemp;
    const struct {
        const char* text;
        const char* expected;
        int lookups;
    } cases[] = {
        {"C:\\plain\\path", "C:\\plain\\path", 0},
        {"%KORVO_EXEDIR%lib;${KORVO_TEMPDIR}", "C:\\Apps\\Tool\\lib;C:\\T\\kvo1.tmp_dir5", 0},
        {"${launcher:sys.tempDir}a;${launcher:sys.tempDir}b", "D:\\Tmp\\a;D:\\Tmp\\b", 1},
        {"${launcher:sys.temp%KORVO_PATHLIST_SEPARATOR%Dir}", "${launcher:sys.temp;Dir}", 0},
    };
    for (const auto& c : cases) {
        tempLookups = 0;
        EXPECT_EQ(launcher(c.text), c.expected) << c.text;
        EXPECT_EQ(tempLookups, c.lookups) << c.text;
    }
    // Named only once an earlier pattern is replaced: still found.
    values.launcherDirectory = "${launcher:sys.tempDir}";
    tempLookups = 0;
    EXPECT_EQ(launcher("%KORVO_EXEDIR%"), "D:\\Tmp\\");
    EXPECT_EQ(tempLookups, 1);
}

TEST(VariableTextScan, OnlyTextsWithPercentOrDollarMayHoldVariables) {
    EXPECT_FALSE(mayHoldVariables(""));
    EXPECT_FALSE(mayHoldVariables("C:\\Program Files\\App\\jre"));
    EXPECT_TRUE(mayHoldVariables("%KORVO_EXEDIR%"));
    EXPECT_TRUE(mayHoldVariables("x${HOME}"));
    EXPECT_TRUE(mayHoldVariables("trailing $"));
}

TEST_F(VariableText, ExedirValueEndsInBackslashAndLogsTheWholeText) {
    EXPECT_EQ(launcher("${KORVO_EXEDIR}lib"), "C:\\Apps\\Tool\\lib");
    ASSERT_EQ(expandedLines.size(), 1u);
    EXPECT_EQ(expandedLines[0].pattern, "${KORVO_EXEDIR}");
    EXPECT_EQ(expandedLines[0].value, "C:\\Apps\\Tool\\");
    EXPECT_EQ(expandedLines[0].text, "C:\\Apps\\Tool\\lib");
}

TEST_F(VariableText, JvmHomeBeforeARuntimeIsChosenIsEmpty) {
    EXPECT_EQ(launcher("[${launcher:sys.jvmHome}][%KORVO_JVM_HOME%]"), "[][]");
    EXPECT_EQ(expandedLines.size(), 2u);
}

TEST_F(VariableText, ThreeOccurrencesThreeLines) {
    EXPECT_EQ(launcher("${KORVO_PATHLIST_SEPARATOR}a${KORVO_PATHLIST_SEPARATOR}b${KORVO_PATHLIST_SEPARATOR}"),
              ";a;b;");
    ASSERT_EQ(expandedLines.size(), 3u);
    EXPECT_EQ(expandedLines[0].text, ";a${KORVO_PATHLIST_SEPARATOR}b${KORVO_PATHLIST_SEPARATOR}");
    EXPECT_EQ(expandedLines[2].text, ";a;b;");
}

TEST_F(VariableText, PatternsAreCaseSensitiveAndUnknownOnesStay) {
    EXPECT_EQ(launcher("${korvo_exedir}%Korvo_ExeDir%${user.home}\\app.log"),
              "${korvo_exedir}%Korvo_ExeDir%${user.home}\\app.log");
    EXPECT_TRUE(expandedLines.empty());
}

TEST_F(VariableText, LaterPatternSeesWhatAnEarlierOneInserted) {
    // %KORVO_EXEDIR% comes first and inserts a reference to a later pattern;
    // the reverse order is not expanded again.
    values.launcherDirectory = "${KORVO_TEMPDIR}";
    EXPECT_EQ(launcher("%KORVO_EXEDIR%"), "C:\\T\\kvo1.tmp_dir5");
    values.launcherDirectory = "C:\\A\\";
    values.launcherTempDir = "%KORVO_EXEDIR%";
    EXPECT_EQ(launcher("${KORVO_TEMPDIR}"), "%KORVO_EXEDIR%");
}

TEST_F(VariableText, AValueHoldingItsOwnPatternIsNotExpandedAgain) {
    std::string text = "x${A}y${A}z";
    EXPECT_EQ(replaceAllText(text, "${A}", "<${A}>", report), 2u);
    EXPECT_EQ(text, "x<${A}>y<${A}>z");
    // A value that completes a pattern with the text after it is not searched
    // again either.
    text = "${${A}A}";
    replaceAllText(text, "${A}", "${", report);
    EXPECT_EQ(text, "${${A}");
}

TEST_F(VariableText, EnvironmentNameExactlyAndUpperCased) {
    const std::string env = block({"Path=C:\\bin", "OTHER=o"});
    EXPECT_EQ(environment("${Path}|${PATH}|${path}|${OTHER}|${other}", env), "C:\\bin|C:\\bin|${path}|o|${other}");
    ASSERT_EQ(expandedLines.size(), 3u);
    EXPECT_EQ(expandedLines[0].pattern, "${Path}");
    EXPECT_EQ(expandedLines[1].pattern, "${PATH}");
    EXPECT_EQ(expandedLines[2].pattern, "${OTHER}");
}

TEST_F(VariableText, AnEnvironmentValueNamingItsOwnVariableIsInsertedOnce) {
    const std::string env = block({"SELF=<${SELF}>", "Mixed=[${Mixed}]"});
    EXPECT_EQ(environment("${SELF}", env), "<${SELF}>");
    EXPECT_EQ(expandedLines.size(), 1u);
    // The upper-cased pattern of a mixed-case name is a pattern of its own.
    EXPECT_EQ(environment("${Mixed}${MIXED}", env), "[${Mixed}][${Mixed}]");
}

TEST_F(VariableText, EnvironmentInBlockOrderAndOnlyOnce) {
    // A value that names an earlier entry stays as it is; a value that names
    // a later one is expanded when that entry's turn comes.
    const std::string env = block({"A=1", "B=${A}", "C=${B}", "D=${E}", "E=5"});
    EXPECT_EQ(environment("${B}", env), "${A}");
    EXPECT_EQ(environment("${C}", env), "${B}");
    EXPECT_EQ(environment("${D}", env), "5");
}

TEST_F(VariableText, EnvironmentEntries) {
    std::string_view name, value;
    ASSERT_TRUE(splitEnvironmentEntry("A=b=c", name, value));
    EXPECT_EQ(name, "A");
    EXPECT_EQ(value, "b=c");
    ASSERT_TRUE(splitEnvironmentEntry("EMPTY=", name, value));
    EXPECT_EQ(value, "");
    // The per-drive entries are named with their leading "=".
    ASSERT_TRUE(splitEnvironmentEntry("=C:=C:\\dir", name, value));
    EXPECT_EQ(name, "=C:");
    EXPECT_EQ(value, "C:\\dir");
    EXPECT_FALSE(splitEnvironmentEntry("NOEQUALS", name, value));
    EXPECT_FALSE(splitEnvironmentEntry("=", name, value));
    EXPECT_FALSE(splitEnvironmentEntry("", name, value));

    const std::string env = block({"=C:=C:\\dir", "NOEQUALS", "E="});
    EXPECT_EQ(environment("${}${=C:}${NOEQUALS}${E}.", env), "${}C:\\dir${NOEQUALS}.");
}

TEST_F(VariableText, NoResultLongerThanTheBuffer) {
    // Exactly at the limit is fine; one byte more is refused and the text kept.
    std::string text = std::string(kExpandedTextLimit - 4, 'a') + "${A}";
    std::string fits = text;
    replaceAllText(fits, "${A}", "1234", report);
    EXPECT_EQ(fits.size(), kExpandedTextLimit);
    EXPECT_TRUE(refusedPatterns.empty());

    std::string tooLong = text;
    replaceAllText(tooLong, "${A}", "12345", report);
    EXPECT_EQ(tooLong, text);
    EXPECT_EQ(refusedPatterns, std::vector<std::string>{"${A}"});

    // Earlier occurrences that fit are kept; the refusal stops the rest.
    refusedPatterns.clear();
    // 8161 + 3 * 4 bytes, each replacement adds 7: 8180, 8187, then 8194.
    std::string several = std::string(kExpandedTextLimit - 30, 'b') + "${A}${A}${A}";
    replaceAllText(several, "${A}", "0123456789X", report);
    EXPECT_TRUE(several == std::string(kExpandedTextLimit - 30, 'b') + "0123456789X0123456789X${A}");
    EXPECT_LE(several.size(), kExpandedTextLimit);
    EXPECT_EQ(refusedPatterns.size(), 1u);
}

TEST_F(VariableText, HugeValuesNeverGrowTheText) {
    const std::string big(20000, 'v');
    values.launcherDirectory = big;
    std::string text = "${KORVO_EXEDIR}";
    replaceLauncherVariables(text, values, report);
    EXPECT_EQ(text, "${KORVO_EXEDIR}");
    const std::string env = block({("BIG=" + big).c_str()});
    EXPECT_EQ(environment("${BIG}", env), "${BIG}");
    EXPECT_EQ(refusedPatterns.size(), 2u);
}

TEST(UpperCaseAscii, OnlyTheLetterRange) {
    std::string text = "`az{@AZ[\xe9\xff";
    upperCaseAscii(text);
    EXPECT_EQ(text, "`AZ{@AZ[\xe9\xff");
}

TEST_F(VariableText, EmptyPatternReplacesNothing) {
    std::string text = "abc";
    EXPECT_EQ(replaceAllText(text, "", "x", report), 0u);
    EXPECT_EQ(text, "abc");
}

}  // namespace
