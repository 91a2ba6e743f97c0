// The benchmark's step times: one line a note, in the order noted, the
// overflow counted rather than written past the table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/StepTimes.h"

namespace {

double tick = 0;
double nextTick() { return tick += 1; }

TEST(StepTimes, NotesEveryStepOnItsOwnLineUpToTheTableAndCountsTheRest) {
    char dir[] = "/tmp/kvo-steps-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/steps.txt";
    setenv("KORVO_STEP_TIMES", file.c_str(), 1);
    beginStepTimes(nextTick);
    noteStep("\tat %s\nmore");
    for (int i = 0; i < 1100; ++i)
        noteStep("again");
    writeStepTimes();

    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 1025u);
    EXPECT_EQ(lines[0], "1.000\tstep times on");
    EXPECT_EQ(lines[1], "2.000\t at %s more");
    EXPECT_EQ(lines[2], "3.000\tagain");
    EXPECT_EQ(lines[1023], "1024.000\tagain");
    EXPECT_EQ(lines[1024], "-\t78 notes dropped");

    // Written once: the exit handler after an early end's write adds nothing.
    std::remove(file.c_str());
    writeStepTimes();
    EXPECT_FALSE(std::ifstream(file).good());
    unsetenv("KORVO_STEP_TIMES");
    rmdir(dir);
}

}  // namespace
