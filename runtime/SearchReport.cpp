#include "runtime/SearchReport.h"

#include <cstdio>

#include "runtime/RuntimeText.h"

namespace {

std::vector<RefusedRuntime>& notes() {
    static std::vector<RefusedRuntime> list;
    return list;
}

// Far more than any machine holds; it bounds what a registry full of
// entries could make the list grow to.
constexpr size_t kMaxNotes = 256;

}  // namespace

void noteRefusedRuntime(std::string_view home, std::string_view version, std::string_view reason,
                        std::string_view otherWidth) {
    std::vector<RefusedRuntime>& list = notes();
    for (const RefusedRuntime& known : list)
        if (known.home == home)
            return;
    if (list.size() < kMaxNotes)
        list.push_back(
            RefusedRuntime{std::string(home), std::string(version), std::string(reason), std::string(otherWidth)});
}

const std::vector<RefusedRuntime>& refusedRuntimes() { return notes(); }

void forgetRefusedRuntimes() { notes().clear(); }

std::string describeRefusedRuntime(const RefusedRuntime& runtime) {
    return (runtime.version.empty() ? std::string("unknown version") : runtime.version) + " (" + runtime.reason +
           ") in " + runtime.home;
}

std::string describeRefusedRuntimes(const std::vector<RefusedRuntime>& runtimes, size_t limit) {
    if (runtimes.empty())
        return "none";
    // Room kept for "; and 256 more".
    constexpr size_t kCountRoom = 16;
    std::string text;
    for (size_t i = 0; i < runtimes.size(); ++i) {
        const std::string entry = (i ? "; " : "") + describeRefusedRuntime(runtimes[i]);
        const bool last = i + 1 == runtimes.size();
        if (text.size() + entry.size() + (last ? 0 : kCountRoom) > limit) {
            const std::string rest = std::to_string(runtimes.size() - i);
            text += i ? "; and " + rest + " more" : rest + " runtimes";
            break;
        }
        text += entry;
    }
    return text;
}

std::string machineWidth(uint16_t machine) {
    switch (machine) {
    case peMachineI386:
        return "32-bit";
    case peMachineAmd64:
        return "64-bit";
    case peMachineArm64:
        return "ARM64";
    default: {
        char text[24];
        std::snprintf(text, sizeof text, "machine 0x%04X", unsigned(machine));
        return text;
    }
    }
}

std::string otherWidthReason(std::string_view width, std::string_view launcherBits) {
    return std::string(width) + "; this is the " + std::string(launcherBits) + "-bit launcher";
}

std::string otherWidthNote(const std::vector<RefusedRuntime>& runtimes, std::string_view launcherBits) {
    if (runtimes.empty())
        return {};
    for (const RefusedRuntime& r : runtimes)
        if (r.otherWidth.empty())
            return {};
    const std::string needs =
        "this is the " + std::string(launcherBits) + "-bit launcher, which needs a " + std::string(launcherBits) +
        "-bit Java.";
    if (runtimes.size() == 1) {
        const std::string& width = runtimes[0].otherWidth;
        const bool vowel = std::string_view("AEIOU").find(width[0]) != std::string_view::npos;
        return std::string(vowel ? "An " : "A ") + width + " Java was found in " + runtimes[0].home + "; " + needs;
    }
    // A dialog, not a report: a few are named, the rest counted.
    constexpr size_t kNamed = 4;
    std::string text = "Only Java of another width was found:";
    for (size_t i = 0; i < runtimes.size() && i < kNamed; ++i)
        text += std::string(i ? ";" : "") + " " + runtimes[i].otherWidth + " in " + runtimes[i].home;
    if (runtimes.size() > kNamed)
        text += "; and " + std::to_string(runtimes.size() - kNamed) + " more";
    return text + "; " + needs;
}
