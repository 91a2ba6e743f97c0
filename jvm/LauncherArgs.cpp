#include "jvm/LauncherArgs.h"

namespace {

std::u16string widenBytes(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (char c : text)
        wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

constexpr std::u16string_view formatPrefix = u"-Dsun.locale.formatasdefault=";

bool isFormatAsDefaultArgument(std::u16string_view arg) {
    return arg.substr(0, formatPrefix.size()) == formatPrefix;
}

}  // namespace

bool isJOption(std::u16string_view arg) { return arg.substr(0, 2) == u"-J"; }

const std::u16string* lastFormatAsDefaultArgument(const WideArgs& arguments) {
    const std::u16string* last = nullptr;
    for (const std::u16string& arg : arguments)
        if (isFormatAsDefaultArgument(arg))
            last = &arg;
    return last;
}

bool isWithheldArgument(std::u16string_view arg, bool acceptJOptions) {
    return (acceptJOptions && isJOption(arg)) || isFormatAsDefaultArgument(arg);
}

WideArgs buildLauncherArguments(const LauncherArgsInput& input, const WideArgs& commandLine) {
    WideArgs out;
    out.push_back(input.guiApplication ? u"true" : u"false");
    out.push_back(widenBytes(input.mainClass));
    out.push_back(input.outputFile1);
    out.push_back(input.outputFile2);
    out.push_back(input.launcherFlag ? u"true" : u"false");
    if (!commandLine.empty())
        out.push_back(commandLine[0]);
    for (const std::u16string& arg : input.configuredArguments)
        out.push_back(arg);
    for (size_t i = 1; i < commandLine.size(); ++i)
        if (!isWithheldArgument(commandLine[i], input.acceptJOptions))
            out.push_back(commandLine[i]);
    return out;
}

namespace {

bool isNamePart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'$';
}

// Each part starts with a letter, '_' or '$', as a Java identifier does.
std::optional<std::string> plainSlashedName(std::u16string_view name) {
    std::string out;
    bool partStart = true;
    for (char16_t c : name) {
        if (c == u'.' || c == u'/') {
            if (partStart)
                return std::nullopt;
            out += '/';
            partStart = true;
            continue;
        }
        if (!isNamePart(c) || (partStart && c >= u'0' && c <= u'9'))
            return std::nullopt;
        out += static_cast<char>(c);
        partStart = false;
    }
    if (partStart)
        return std::nullopt;
    return out;
}

}  // namespace

std::optional<DirectMain> directMainOf(const WideArgs& launcherValues) {
    if (launcherValues.size() < kLeadingLauncherValues || !launcherValues[2].empty() ||
        !launcherValues[3].empty())
        return std::nullopt;
    std::optional<std::string> name = plainSlashedName(launcherValues[1]);
    if (!name)
        return std::nullopt;
    DirectMain main;
    main.className = std::move(*name);
    main.guiApplication = launcherValues[0] == u"true";
    return main;
}

bool namesCommFile(const std::deque<std::string>& vmOptions) {
    constexpr std::string_view prefix = "-Dkorvo.processCommFile=";
    bool names = false;
    for (const std::string& option : vmOptions)
        if (std::string_view(option).substr(0, prefix.size()) == prefix)
            names = option.size() > prefix.size();
    return names;
}

bool othersMaySetLauncherProperties(const std::deque<std::string>& vmOptions, std::string_view environmentOptions) {
    if (environmentOptions.find("korvo.") != std::string_view::npos)
        return true;
    constexpr std::string_view optionsFile = "-XX:VMOptionsFile=";
    for (const std::string& option : vmOptions)
        if (std::string_view(option).substr(0, optionsFile.size()) == optionsFile)
            return true;
    return false;
}

const char* launcherClassName(char productFlavor) {
    return productFlavor == 'i' ? "com/vandrel/runtime/launcher/WinLauncher" : "com/korvo/runtime/WinLauncher";
}

std::string slashedClassName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '.')
            c = '/';
    return out;
}
