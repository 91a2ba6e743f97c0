// Runtime images judged without running them (release files), and the texts
// that tell a user what was found when nothing fits.
#include <gtest/gtest.h>

#include <string>

#include "core/MessageText.h"
#include "runtime/ReleaseFile.h"
#include "runtime/RuntimeText.h"
#include "runtime/SearchReport.h"

namespace {

std::string versionOf(std::string_view content) {
    std::string version = "<none>";
    return releaseJavaVersion(content, version) ? version : "<none>";
}

TEST(ReleaseFile, JavaVersionAsJlinkAndTheJdkBuildsWriteIt) {
    EXPECT_EQ(versionOf("IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"17.0.9\"\nJAVA_VERSION_DATE=\"2023-10-17\"\n"),
              "17.0.9");
    EXPECT_EQ(versionOf("JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n"), "1.8.0_392");
    // The key, not a key that begins with it; blanks around it and a BOM.
    EXPECT_EQ(versionOf("JAVA_VERSION_DATE=\"2024-01-16\"\nJAVA_VERSION=\"21.0.2\""), "21.0.2");
    EXPECT_EQ(versionOf("\xEF\xBB\xBFJAVA_VERSION=\"11.0.22\"\n"), "11.0.22");
    EXPECT_EQ(versionOf("  JAVA_VERSION = \"22-ea\"  \n"), "22-ea");
    EXPECT_EQ(versionOf("JAVA_VERSION=17.0.2\n"), "17.0.2");
    // The first JAVA_VERSION counts, even when it is unusable.
    EXPECT_EQ(versionOf("JAVA_VERSION=\"\"\nJAVA_VERSION=\"17\"\n"), "<none>");
}

TEST(ReleaseFile, NoUsableVersionMeansUnknown) {
    EXPECT_EQ(versionOf(""), "<none>");
    EXPECT_EQ(versionOf("JAVA_RUNTIME_VERSION=\"17.0.9+9\"\n"), "<none>");
    EXPECT_EQ(versionOf("java_version=\"17\"\n"), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION\n"), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION=\"\"\n"), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION=\"17\"0\"\n"), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION=\"17.0.2\n"), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION=17.0.2\"\n"), "<none>");
    EXPECT_EQ(versionOf(std::string_view("JAVA_VERSION=\"1\x01\"", 17)), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION=\"" + std::string(kReleaseVersionMax + 1, '1') + "\""), "<none>");
    EXPECT_EQ(versionOf("JAVA_VERSION=\"" + std::string(kReleaseVersionMax, '1') + "\""),
              std::string(kReleaseVersionMax, '1'));
}

TEST(RuntimeImage, TopDirectoryAndReleaseFiles) {
    EXPECT_EQ(runtimeRootOf("c:\\app\\runtime\\bin\\java.exe"), "c:\\app\\runtime");
    EXPECT_EQ(runtimeRootOf("c:\\jdk8\\jre\\bin\\javaw.exe"), "c:\\jdk8\\jre");
    EXPECT_EQ(runtimeRootOf("java.exe"), "");
    EXPECT_EQ(releaseFileCandidates("c:\\app\\runtime\\bin\\java.exe"),
              (std::vector<std::string>{"c:\\app\\runtime\\release"}));
    // The runtime inside a JDK up to 8 has its release file one level up.
    EXPECT_EQ(releaseFileCandidates("c:\\jdk8\\JRE\\bin\\java.exe"),
              (std::vector<std::string>{"c:\\jdk8\\JRE\\release", "c:\\jdk8\\release"}));
    EXPECT_EQ(releaseFileCandidates("c:\\myjre\\bin\\java.exe"), (std::vector<std::string>{"c:\\myjre\\release"}));
    EXPECT_TRUE(releaseFileCandidates("java.exe").empty());
}

TEST(RuntimeImage, QuotedHomes) {
    std::string value = "\"C:\\Program Files\\Java\\jdk-17\"";
    EXPECT_TRUE(stripSurroundingQuotes(value));
    EXPECT_EQ(value, "C:\\Program Files\\Java\\jdk-17");
    // One pair only, and only a pair.
    for (const char* kept : {"c:\\jdk", "\"c:\\jdk", "c:\\jdk\"", "\"", ""}) {
        std::string text = kept;
        EXPECT_FALSE(stripSurroundingQuotes(text)) << kept;
        EXPECT_EQ(text, kept);
    }
    value = "\"\"c:\\jdk\"\"";
    EXPECT_TRUE(stripSurroundingQuotes(value));
    EXPECT_EQ(value, "\"c:\\jdk\"");
    value = "\"\"";
    EXPECT_TRUE(stripSurroundingQuotes(value));
    EXPECT_EQ(value, "");
}

TEST(RefusalText, PlaceholdersAreFilledOnceFromTheRecordOnly) {
    const char* text = "Needs Java {1}. Found: {2}. Define KORVO_JAVA_HOME ({0}-bit).";
    EXPECT_EQ(fillPlaceholders(text, "64", "17 or later", "none"),
              "Needs Java 17 or later. Found: none. Define KORVO_JAVA_HOME (64-bit).");
    // A record without them reads as before: only the first "{0}" is filled.
    EXPECT_EQ(fillPlaceholders("No JVM ({0}-bit, {0})", "32", "x", "y"), "No JVM (32-bit, {0})");
    EXPECT_EQ(fillPlaceholders("plain", "32", "x", "y"), "plain");
    // An argument that holds a placeholder is not filled in turn.
    EXPECT_EQ(fillPlaceholders("{0} / {1}", "c:\\{1}", "x", nullptr), "c:\\{1} / x");
    EXPECT_EQ(fillPlaceholders("{2}{1}{0}{3}", "a", nullptr, "c"), "c{1}a{3}");
    EXPECT_EQ(fillPlaceholders("{", "a", "b", "c"), "{");
    EXPECT_EQ(fillPlaceholders("x{1", "a", "b", "c"), "x{1");
}

TEST(RefusalText, WhatWasFoundAndWhy) {
    std::vector<RefusedRuntime> found;
    EXPECT_EQ(describeRefusedRuntimes(found, 2048), "none");
    found.push_back({"c:\\java\\jdk-11", "11.0.22", "too old"});
    found.push_back({"c:\\rt", "", "version unknown"});
    EXPECT_EQ(describeRefusedRuntimes(found, 2048),
              "11.0.22 (too old) in c:\\java\\jdk-11; unknown version (version unknown) in c:\\rt");
    // Cut at whole entries, the rest counted.
    const std::string first = "11.0.22 (too old) in c:\\java\\jdk-11";
    EXPECT_EQ(describeRefusedRuntimes(found, first.size() + 16), first + "; and 1 more");
    EXPECT_EQ(describeRefusedRuntimes(found, 20), "2 runtimes");
    // At the limit: the last entry needs no room for the count, every other
    // one does; one byte less and the entry goes.
    const std::string both = describeRefusedRuntimes(found, 2048);
    EXPECT_EQ(describeRefusedRuntimes(found, both.size()), both);
    EXPECT_EQ(describeRefusedRuntimes(found, both.size() - 1), first + "; and 1 more");
    EXPECT_EQ(describeRefusedRuntimes(found, first.size() + 15), "2 runtimes");
    for (int i = 0; i < 300; ++i)
        found.push_back({"c:\\rt" + std::to_string(100 + i), "1.6.0", "too old"});
    // Entries of 29 bytes with their separators behind the first two: eight
    // fit with the room for the count, and not one byte of room is lost.
    const auto taken = [&](size_t n) {
        return describeRefusedRuntimes({found.begin(), found.begin() + ptrdiff_t(n)}, 8192);
    };
    const size_t eight = both.size() + 8 * 29 + 16;
    EXPECT_EQ(describeRefusedRuntimes(found, eight), taken(10) + "; and 292 more");
    EXPECT_EQ(describeRefusedRuntimes(found, eight - 1), taken(9) + "; and 293 more");
    EXPECT_LE(describeRefusedRuntimes(found, 500).size(), 500u);
}

TEST(RefusalText, RuntimesOfTheOtherWidthAreNamedAsSuch) {
    EXPECT_EQ(machineWidth(0x8664), "64-bit");
    EXPECT_EQ(machineWidth(0x14C), "32-bit");
    EXPECT_EQ(machineWidth(0xAA64), "ARM64");
    EXPECT_EQ(machineWidth(0x1C4), "machine 0x01C4");
    std::vector<RefusedRuntime> found;
    EXPECT_EQ(otherWidthNote(found, "32"), "");
    found.push_back({"c:\\app\\jre", "17.0.2", otherWidthReason("64-bit", "32"), "64-bit"});
    EXPECT_EQ(describeRefusedRuntimes(found, 2048), "17.0.2 (64-bit; this is the 32-bit launcher) in c:\\app\\jre");
    EXPECT_EQ(otherWidthNote(found, "32"),
              "A 64-bit Java was found in c:\\app\\jre; this is the 32-bit launcher, which needs a 32-bit Java.");
    found.push_back({"c:\\arm", "", otherWidthReason("ARM64", "32"), "ARM64"});
    EXPECT_EQ(otherWidthNote(found, "32"), "Only Java of another width was found: 64-bit in c:\\app\\jre; ARM64 in "
                                           "c:\\arm; this is the 32-bit launcher, which needs a 32-bit Java.");
    EXPECT_EQ(otherWidthNote({found[1]}, "64"), "An ARM64 Java was found in c:\\arm; this is the 64-bit launcher, "
                                                "which needs a 64-bit Java.");
    // A runtime of the right width refused for another reason: the user
    // needs the whole list, not the width sentence.
    found.push_back({"c:\\jdk-11", "11.0.22", "too old"});
    EXPECT_EQ(otherWidthNote(found, "32"), "");
    found.pop_back();
    for (int i = 0; i < 300; ++i)
        found.push_back({"c:\\rt" + std::to_string(i), "", "x", "64-bit"});
    const std::string many = otherWidthNote(found, "32");
    EXPECT_NE(many.find("; and 298 more; this is the 32-bit launcher"), std::string::npos) << many;
    EXPECT_LT(many.size(), 300u);
}

TEST(RefusalText, EachHomeIsNotedOnce) {
    forgetRefusedRuntimes();
    noteRefusedRuntime("c:\\jdk-11", "11.0.22", "too old");
    noteRefusedRuntime("c:\\jdk-11", "11.0.22", "beta release");
    noteRefusedRuntime("c:\\jre8", "1.8.0_402", "too old");
    ASSERT_EQ(refusedRuntimes().size(), 2u);
    EXPECT_EQ(refusedRuntimes()[0].reason, "too old");
    EXPECT_EQ(refusedRuntimes()[1].home, "c:\\jre8");
    // A registry full of entries cannot grow the list without bound.
    for (int i = 0; i < 1000; ++i)
        noteRefusedRuntime("c:\\many" + std::to_string(i), "", "too old");
    ASSERT_EQ(refusedRuntimes().size(), 256u);
    EXPECT_EQ(refusedRuntimes().back().home, "c:\\many253");
    // A home noted before the list was full keeps its first reason still.
    noteRefusedRuntime("c:\\jdk-11", "11.0.22", "32-bit");
    EXPECT_EQ(refusedRuntimes()[0].reason, "too old");
    forgetRefusedRuntimes();
    EXPECT_TRUE(refusedRuntimes().empty());
}

}  // namespace
