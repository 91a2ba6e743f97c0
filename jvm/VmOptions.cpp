#include "jvm/VmOptions.h"

#include <cstdio>
#include <cwchar>
#include <optional>

#include "core/CommandLineNarrow.h"
#include "core/ConfigStore.h"
#include "core/LauncherFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Platform.h"
#include "jvm/ClassPath.h"
#include "jvm/LocaleTable.h"
#include "jvm/LauncherArgs.h"
#include "jvm/OptionText.h"
#include "jvm/Variables.h"

namespace {

OptionList options;
std::optional<std::string> classPathReplace;
std::optional<std::string> classPathPrepend;
std::optional<std::string> classPathAppend;
int includeDepth = 0;

FILE* openOptionsCandidate(const std::wstring& path) { return _wfopen(path.c_str(), L"rt"); }

FILE* openDefaultFor(const std::wstring& exe) {
    if (exe.size() >= 4) {
        const std::wstring first = exe.substr(0, exe.size() - 4) + L".vmoptions";
        FILE* file = openOptionsCandidate(first);
        logMessage("vmoptions2: exe %ls file: %ls, file: %p", exe.c_str(), first.c_str(),
                   static_cast<void*>(file));
        if (file)
            return file;
    }
    const std::wstring second = exe + L".vmoptions";
    FILE* file = openOptionsCandidate(second);
    logMessage("vmoptions: opts2: %ls, file: %p", second.c_str(), static_cast<void*>(file));
    return file;
}

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
        FILE* file = std::fopen(absolute.c_str(), "rt");
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
        options.push_back(text);
        break;
    }
}

void readOptionsFile(const char* baseFile, FILE* file) {
    if (!file)
        return;
    readOptionLines(file, [&](std::string& line) {
        expandVariables(line);
        applyOptionLine(baseFile, line);
    });
    std::fclose(file);
}

FILE* openDefaultOptionsFile() {
    if (FILE* file = openDefaultFor(launcherPathWide()))
        return file;
    wchar_t module[8192];
    const DWORD n = GetModuleFileNameW(nullptr, module, 8192);
    if (n == 0 || n >= 8192)
        return nullptr;
    return openDefaultFor(module);
}

const OptionList& assembleVmOptions(const OptionList& systemProperties, const WideArgs& arguments) {
    options = systemProperties;

    std::string vmOptions = getConfigString(rec::VmOptions);
    expandVariables(vmOptions);
    NarrowArgs tokens;
    splitArgumentsNarrow(vmOptions.c_str(), tokens);
    logMessage("adding options\n");
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == "-include-options" && i + 1 < tokens.size()) {
            applyOptionLine(nullptr, tokens[i] + " " + tokens[i + 1]);
            ++i;
        } else {
            applyOptionLine(nullptr, tokens[i]);
        }
    }

    if (getConfigBool(rec::AcceptJOptions))
        for (const std::u16string& arg : arguments)
            if (isJOption(arg))
                applyOptionLine(nullptr, narrowArgument(std::u16string_view(arg).substr(2)));

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
