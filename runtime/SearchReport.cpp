#include "runtime/SearchReport.h"

namespace {

std::vector<RefusedRuntime>& notes() {
    static std::vector<RefusedRuntime> list;
    return list;
}

// Far more than any machine holds; it bounds what a registry full of
// entries could make the list grow to.
constexpr size_t kMaxNotes = 256;

}  // namespace

void noteRefusedRuntime(std::string_view home, std::string_view version, std::string_view reason) {
    std::vector<RefusedRuntime>& list = notes();
    for (const RefusedRuntime& known : list)
        if (known.home == home)
            return;
    if (list.size() < kMaxNotes)
        list.push_back(RefusedRuntime{std::string(home), std::string(version), std::string(reason)});
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
