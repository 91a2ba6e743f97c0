#include "core/MessageText.h"

#include "core/ConfigStore.h"

namespace {

// {0}, {1} and {2} as the launcher fills them for each message.
constexpr struct {
    int32_t id;
    const char* text;
} kBuiltIn[] = {
    {1000, "Error"},
    {1001, "No JVM could be found on your system.\nThis application needs Java {1}; found: {2}.\n"
           "Please define KORVO_JAVA_HOME\nto point to an installed JDK or JRE."},
    {1002, "The JVM found in your path is damaged.\nPlease reinstall or define KORVO_JAVA_HOME\n"
           "to point to an installed JDK or JRE."},
    {1003, "The {0} environment variable does not\npoint to a working JDK or JRE."},
    {1004, "The JVM found at {0} is damaged.\nPlease reinstall or define KORVO_JAVA_HOME\n"
           "to point to an installed JDK or JRE."},
    {1005, "The application could not be started.\n\n{1}"},
    {1006, "File or directory {0} not found or empty\n"},
    {1007, "Wrong Parameter Usage"},
    {1008, "The environment variable {0} has to be defined"},
    {1009, "An internal error occurred (error code: {0})"},
    {1010, "Couldn't load main class.\n\n{1}"},
    {1011, "Main method not found.\n\n{1}"},
    {1012, "Error"},
    {1013, "Ok"},
    {1014, "An error occurred while starting up {0}:"},
    {1015, "You must be at least Poweruser to run this program."},
    // Read by whoever starts the application, who can install Java but
    // knows nothing of records or variables.
    {1016, "This application needs {0}-bit Java ({1}), which was not found on this computer.\nFound: {2}.\n\n"
           "Please install Java, then start the application again."},
    {1017, "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE."},
    {1018, "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE."},
    {1019, "The JVM found at {0} is damaged.\nPlease reinstall or define KORVO_JAVA_HOME\n"
           "to point to an installed 32-bit JDK or JRE."},
    {1020, "The JVM found at {0} is damaged.\nPlease reinstall or define KORVO_JAVA_HOME\n"
           "to point to an installed 64-bit JDK or JRE."},
    {1021, "Open this address in your web browser now?"},
};

template <class Char, class Argument>
std::basic_string<Char> fill(std::basic_string_view<Char> text, const Argument& argument) {
    bool used[4] = {false, false, false, false};
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == Char('{') && i + 2 < text.size() && text[i + 2] == Char('}') && text[i + 1] >= Char('0') &&
            text[i + 1] <= Char('3')) {
            const int n = int(text[i + 1] - Char('0'));
            if (const auto value = argument(n); value && !used[n]) {
                out += *value;
                used[n] = true;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

const char* const kBuiltInNoJvmWithDownload =
    "This application needs {0}-bit Java ({1}), which was not found on this computer.\nFound: {2}.\n\n"
    "Java can be downloaded from:\n{3}";

const char* builtInMessage(int32_t id) {
    for (const auto& message : kBuiltIn)
        if (message.id == id)
            return message.text;
    return nullptr;
}

MessageSource findMessage(int32_t id) {
    const ConfigStore& store = configStore();
    if (const auto wide = store.wide.find(id); wide != store.wide.end() && !wide->second.empty())
        return {wide->second, {}, false};
    if (const char* narrow = getConfigString(id); *narrow)
        return {{}, narrow, false};
    // A dialog that names the application says whose it is.
    if (const char* name = getConfigString(rec::ApplicationName); id == msg::Title && *name)
        return {{}, name, true};
    const char* builtIn = builtInMessage(id);
    return {{}, builtIn ? builtIn : "", builtIn != nullptr};
}

std::string fillPlaceholders(std::string_view text, const char* arg0, const char* arg1, const char* arg2) {
    const char* arguments[4] = {arg0, arg1, arg2, nullptr};
    return fill(text, [&](int n) {
        return arguments[n] ? std::optional<std::string_view>(arguments[n]) : std::nullopt;
    });
}

std::u16string fillPlaceholders(std::u16string_view text, const MessageArguments& arguments) {
    return fill(text, [&](int n) {
        const auto& argument = arguments[size_t(n)];
        return argument ? std::optional<std::u16string_view>(*argument) : std::nullopt;
    });
}
