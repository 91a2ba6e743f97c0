#include "core/StepTimes.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Note {
    double at = 0;
    const char* label = nullptr;
};

constexpr unsigned kNotes = 1024;
double (*stepClock)() = nullptr;
std::string stepFile;
Note notes[kNotes];
std::atomic<unsigned> noted{0};
std::atomic<bool> written{false};

}  // namespace

void beginStepTimes(double (*clock)()) {
    const char* file = std::getenv("KORVO_STEP_TIMES");
    if (!file || !*file || !clock)
        return;
    stepFile = file;
    stepClock = clock;
    noteStep("step times on");
    std::atexit(writeStepTimes);
}

void noteStep(const char* label) {
    if (!stepClock)
        return;
    const double at = stepClock();
    const unsigned i = noted.fetch_add(1, std::memory_order_relaxed);
    if (i < kNotes)
        notes[i] = Note{at, label};
}

void writeStepTimes() {
    if (!stepClock || written.exchange(true))
        return;
    FILE* out = std::fopen(stepFile.c_str(), "w");
    if (!out)
        return;
    const unsigned n = noted.load() < kNotes ? noted.load() : kNotes;
    for (unsigned i = 0; i < n; ++i) {
        std::fprintf(out, "%.3f\t", notes[i].at);
        // One line a note: a format may hold line feeds and tabs.
        for (const char* c = notes[i].label ? notes[i].label : "?"; *c; ++c)
            std::fputc(*c == '\n' || *c == '\t' || *c == '\r' ? ' ' : *c, out);
        std::fputc('\n', out);
    }
    if (noted.load() > kNotes)
        std::fprintf(out, "-\t%u notes dropped\n", noted.load() - kNotes);
    std::fclose(out);
}
