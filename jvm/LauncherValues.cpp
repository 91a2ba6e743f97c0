// The launcher class's array from the records. The same on every platform:
// only reading a record's text and making a file name absolute are the
// platform's (LaunchInputs.h).
#include "core/ConfigStore.h"
#include "jvm/LaunchInputs.h"
#include "jvm/LauncherArgs.h"
#include "jvm/Variables.h"

namespace {

// A name beginning with "$" is left to the application to resolve.
std::u16string outputFileArgument(int32_t enabledRecord, int32_t fileRecord) {
    if (!getConfigBool(enabledRecord))
        return std::u16string();
    std::string file = getConfigString(fileRecord);
    expandVariables(file);
    if (!file.empty() && file[0] == '$')
        return recordTextWide(file);
    return outputFileWide(file);
}

}  // namespace

WideArgs launcherArgumentsFor(const WideArgs& arguments) {
    LauncherArgsInput input;
    input.guiApplication = getConfigInt(rec::ExecutableType) == 1;
    input.mainClass = getConfigString(rec::MainClass);
    input.outputFile1 = outputFileArgument(rec::OutputFile1Enabled, rec::OutputFile1);
    input.outputFile2 = outputFileArgument(rec::OutputFile2Enabled, rec::OutputFile2);
    input.launcherFlag = getConfigBool(rec::LauncherClassFlag);
    std::string configured = getConfigString(rec::Arguments);
    expandVariables(configured);
    splitArguments(recordTextWide(configured), input.configuredArguments);
    input.acceptJOptions = getConfigBool(rec::AcceptJOptions);
    return buildLauncherArguments(input, arguments);
}
