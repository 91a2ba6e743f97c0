// What a check of main is remembered under: every change that could make
// another class of that name load must change the text, a start's own
// passing values must not, and what files cannot vouch for has none.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "services/MainCheckMemory.h"

namespace {

std::map<std::string, EntryStamp> disk;

EntryStamp fromDisk(const std::string& entry) {
    auto found = disk.find(entry);
    return found == disk.end() ? EntryStamp{} : found->second;
}

struct Start {
    std::string mainClass = "app/Main";
    std::deque<std::string> options = {"-Xmx256m", "-Djava.class.path=C:\\app\\app.jar;C:\\app\\lib.jar",
                                       "-Dkorvo.tempDir=C:\\t\\kvo1_dir1"};
    std::string environment;
};

std::string keyOf(const Start& start) {
    return mainCheckFingerprint(start.mainClass, start.options, start.environment, fromDisk);
}

void resetDisk() {
    disk = {{"C:\\app\\app.jar", {EntryStamp::file, 1000, 42}},
            {"C:\\app\\lib.jar", {EntryStamp::file, 2000, 43}},
            {"C:\\app\\classes", {EntryStamp::other, 0, 0}}};
}

TEST(MainCheckKey, ChangesWithWhatCouldLoadAnotherClass) {
    struct Row {
        const char* what;
        void (*change)(Start&);
    } rows[] = {
        {"another class", [](Start& s) { s.mainClass = "app/Other"; }},
        {"an archive's size", [](Start&) { disk["C:\\app\\lib.jar"].size = 2001; }},
        {"an archive's last write", [](Start&) { disk["C:\\app\\app.jar"].lastWrite = 41; }},
        {"an archive gone", [](Start&) { disk.erase("C:\\app\\lib.jar"); }},
        {"another class path", [](Start& s) { s.options[1] = "-Djava.class.path=C:\\app\\lib.jar;C:\\app\\app.jar"; }},
        {"a later class path", [](Start& s) { s.options.push_back("-Djava.class.path=C:\\app\\lib.jar"); }},
        {"an agent", [](Start& s) { s.options.push_back("-javaagent:C:\\a.jar"); }},
        {"a boot class path", [](Start& s) { s.options.push_back("-Xbootclasspath/a:C:\\b.jar"); }},
        {"a system class loader", [](Start& s) { s.options.push_back("-Djava.system.class.loader=x.L"); }},
        {"the environment's options", [](Start& s) { s.environment = "-Djava.class.path=C:\\other.jar"; }},
    };
    resetDisk();
    const std::string base = keyOf(Start{});
    ASSERT_FALSE(base.empty());
    for (const Row& row : rows) {
        resetDisk();
        Start start;
        row.change(start);
        const std::string changed = keyOf(start);
        EXPECT_FALSE(changed.empty()) << row.what;
        EXPECT_NE(changed, base) << row.what;
    }
}

TEST(MainCheckKey, SameAcrossStartsThatDifferOnlyInPassingValues) {
    resetDisk();
    Start first;
    Start second;
    second.options[2] = "-Dkorvo.tempDir=C:\\t\\kvo2_dir7";
    second.options.push_back("-Dapp.user=someone else");
    EXPECT_EQ(keyOf(first), keyOf(second));
    // Only the class path the VM takes is stamped: an earlier one's folder
    // does not matter.
    Start overridden;
    overridden.options.push_front("-Djava.class.path=C:\\app\\classes");
    EXPECT_FALSE(keyOf(overridden).empty());
}

TEST(MainCheckKey, NoneWhereFilesCannotVouchForTheClass) {
    const char* classPaths[] = {
        "-Djava.class.path=C:\\app\\classes;C:\\app\\app.jar",  // a folder
        "-Djava.class.path=C:\\app\\app.jar;C:\\app\\lib\\*",   // a wildcard left to the VM
    };
    for (const char* classPath : classPaths) {
        resetDisk();
        Start start;
        start.options[1] = classPath;
        EXPECT_EQ(keyOf(start), "") << classPath;
    }
    resetDisk();
    Start huge;
    huge.options[1] = "-Djava.class.path=" + std::string(40000, 'a');
    EXPECT_EQ(keyOf(huge), "");
}

}  // namespace
