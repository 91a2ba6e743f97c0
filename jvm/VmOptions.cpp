#include "jvm/VmOptions.h"

#include <cstdio>
#include <optional>

#include "core/CommandLineNarrow.h"
#include "core/ConfigStore.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/SelectedLocale.h"
#include "jvm/ClassPath.h"
#include "jvm/LaunchInputs.h"
#include "jvm/LauncherArgs.h"
#include "jvm/LocaleTable.h"
#include "jvm/OptionText.h"
#include "jvm/Variables.h"

namespace {

OptionList options;
std::optional<std::string> classPathReplace;
std::optional<std::string> classPathPrepend;
std::optional<std::string> classPathAppend;
int includeDepth = 0;

}  // namespace

void applyOptionLine(const char* baseFile, const std::string& text) {
    const OptionLine line = classifyOptionLine(text);
    switch (line.kind) {
    case OptionLineKind::includeOptions: {
        std::string expanded(line.rest);
        expandVariables(expanded);
        const std::string absolute = resolvePath(expanded, baseFile);
        if (includeDepth >= kMaxIncludeDepth) {
            logError("options files nested deeper than %d levels: %s not read", kMaxIncludeDepth,
                     absolute.c_str());
            return;
        }
        FILE* file = std::fopen(absolute.c_str(), "rb");
        logMessage("adding vmoptions from <%s> (%s) (%p)", absolute.c_str(), expanded.c_str(),
                   static_cast<void*>(file));
        ++includeDepth;
        readOptionsFile(absolute.c_str(), file);
        --includeDepth;
        break;
    }
    case OptionLineKind::classPathReplace:
        classPathReplace = std::string(line.rest);
        break;
    case OptionLineKind::classPathPrepend:
        classPathPrepend = std::string(line.rest);
        break;
    case OptionLineKind::classPathAppend:
        classPathAppend = std::string(line.rest);
        break;
    case OptionLineKind::option:
        // Passed on all the same: the VM decides what it accepts.
        if (!separateValueOption(text).empty())
            logError("option %s has no value, the VM ignores it: write %s=VALUE", text.c_str(),
                     std::string(separateValueOption(text)).c_str());
        else if (const char* advice = javaCommandOnlyAdvice(text))
            logError("option %s is read by the java command only, the VM ignores it: %s", text.c_str(), advice);
        options.push_back(text);
        break;
    }
}

void readOptionsFile(const char* baseFile, FILE* file) {
    if (!file)
        return;
    const char* name = baseFile ? baseFile : "(default)";
    OptionFileLines lines;
    OptionFileDecoder::Events events;
    events.marked = [&](OptionFileForm form) {
        // Notepad's marks belong to no option.
        if (form == OptionFileForm::utf8Mark)
            logMessage("options file %s begins with a UTF-8 byte-order mark; skipped", name);
        else
            logMessage("options file %s is UTF-16 (%s, with its byte-order mark)", name,
                       form == OptionFileForm::utf16le ? "little-endian" : "big-endian");
    };
    // As every wide text the launcher narrows: a letter the code page lacks
    // ends the option, with an error line.
    events.narrow = [](std::u16string_view piece, int) { return narrowArgument(piece); };
    events.take = [&](std::string& line, int) {
        expandVariables(line);
        for (const std::string& text : lines.take(line))
            applyOptionLine(baseFile, text);
    };
    readOptionLines(file, events);
    for (const std::string& text : lines.finish())
        applyOptionLine(baseFile, text);
    std::fclose(file);
}

const OptionList& assembleVmOptions(const OptionList& systemProperties, const WideArgs& arguments) {
    options = systemProperties;

    std::string vmOptions = getConfigString(rec::VmOptions);
    expandVariables(vmOptions);
    NarrowArgs tokens;
    splitArgumentsNarrow(vmOptions.c_str(), tokens);
    logMessage("adding options\n");
    for (const std::string& text : joinOptionWords(tokens, true))
        applyOptionLine(nullptr, text);

    if (getConfigBool(rec::AcceptJOptions)) {
        NarrowArgs words;
        for (const std::u16string& arg : arguments)
            if (isJOption(arg))
                words.push_back(narrowArgument(std::u16string_view(arg).substr(2)));
        for (const std::string& text : joinOptionWords(words, false))
            applyOptionLine(nullptr, text);
    }

    // Converted as every narrow option text is, so the option and the locale
    // decision below see the same text.
    if (const std::u16string* formatArg = lastFormatAsDefaultArgument(arguments)) {
        const std::string text = narrowArgument(*formatArg);
        applyOptionLine(nullptr, text);
        if (!formatAsDefault(NarrowArgs{text})) {
            char part[3];
            if (localeLanguage(part, sizeof part))
                applyOptionLine(nullptr, std::string("-Duser.language=") + part);
            if (localeCountry(part, sizeof part))
                applyOptionLine(nullptr, std::string("-Duser.country=") + part);
        }
    }

    FILE* defaults = openDefaultOptionsFile();
    logMessage("default vmoptions file: %p", static_cast<void*>(defaults));
    readOptionsFile(nullptr, defaults);

    options.push_back(buildClassPathOption(classPathPrepend, classPathReplace, classPathAppend));

    logMessage("vmoption count %d", static_cast<int>(options.size()));
    for (size_t i = 0; i < options.size(); ++i)
        logMessage("vmoption %d: %s", static_cast<int>(i), options[i].c_str());
    return options;
}
