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
    {1016, "No suitable JVM could be found on your system.\nThis application needs Java {1}; found: {2}.\n"
           "Please define KORVO_JAVA_HOME\nto point to an installed {0}-bit JDK or JRE."},
    {1017, "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE."},
    {1018, "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE."},
    {1019, "The JVM found at {0} is damaged.\nPlease reinstall or define KORVO_JAVA_HOME\n"
           "to point to an installed 32-bit JDK or JRE."},
    {1020, "The JVM found at {0} is damaged.\nPlease reinstall or define KORVO_JAVA_HOME\n"
           "to point to an installed 64-bit JDK or JRE."},
};

}  // namespace

const char* builtInMessage(int32_t id) {
    for (const auto& message : kBuiltIn)
        if (message.id == id)
            return message.text;
    return nullptr;
}

const char* messageText(int32_t id) {
    const char* text = getConfigString(id);
    if (*text)
        return text;
    const char* builtIn = builtInMessage(id);
    return builtIn ? builtIn : text;
}

std::string fillPlaceholders(std::string_view text, const char* arg0, const char* arg1, const char* arg2) {
    const char* arguments[3] = {arg0, arg1, arg2};
    bool used[3] = {false, false, false};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' && text[i + 1] >= '0' && text[i + 1] <= '2') {
            const int n = text[i + 1] - '0';
            if (arguments[n] && !used[n]) {
                out += arguments[n];
                used[n] = true;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}
