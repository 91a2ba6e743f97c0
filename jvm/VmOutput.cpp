#include "jvm/VmOutput.h"

#include <mutex>

#include "core/Log.h"
#include "jvm/LaunchInputs.h"
#include "jvm/VmText.h"

namespace {

// The VM prints from any of its threads, and may go on while the process
// ends (System.exit runs the exit handlers): never destroyed.
std::mutex& outputLock = *new std::mutex;
VmText& output = *new VmText;

void logLine(const std::string& line) { logMessage("JVM: %s", line.c_str()); }

}  // namespace

jint JNICALL vmPrint(FILE* stream, const char* format, va_list args) {
    char small[1024];
    std::string large;
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    const char* text = small;
    if (n >= static_cast<int>(sizeof small)) {
        large.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        text = large.c_str();
    }
    va_end(again);
    if (n <= 0)
        return n;
    const size_t length = static_cast<size_t>(n);
    std::lock_guard<std::mutex> lock(outputLock);
    writeVmText(stream, text, length);
    for (const std::string& line : output.add(std::string_view(text, length)))
        logLine(line);
    return n;
}

void flushVmOutput() {
    std::lock_guard<std::mutex> lock(outputLock);
    const std::string begun = output.takeBegun();
    if (!begun.empty())
        logLine(begun);
}

std::string vmLastWords() {
    std::lock_guard<std::mutex> lock(outputLock);
    return output.lastWords(kVmWordsShown);
}
