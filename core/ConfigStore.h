// The record store: every setting of the launcher, keyed by record id.
// Filled once while the block is loaded, read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

struct ConfigStore {
    std::map<int32_t, std::string> narrow;
    std::map<int32_t, std::u16string> wide;
};

// The process-wide store.
ConfigStore& configStore();

// Narrow record text; "" when absent. The pointer lives as long as the process.
const char* getConfigString(int32_t id);
// Bounded copy for fixed caller buffers; false when the text had to be cut.
bool getConfigString(int32_t id, char* out, size_t capacity);
int32_t getConfigInt(int32_t id);
uint32_t getConfigColor(int32_t id);
inline bool getConfigBool(int32_t id) { return getConfigInt(id) != 0; }

// Conversion rules of the getters, exposed for tests and for the packer.
int32_t parseConfigInt(std::string_view text);
uint32_t parseConfigColor(std::string_view text);

// Record ids, by the names every part of the launcher uses.
namespace rec {
constexpr int32_t ApplicationName = 101;
constexpr int32_t OutputFile1Enabled = 102;
constexpr int32_t OutputFile1 = 103;
constexpr int32_t OutputFile2Enabled = 104;
constexpr int32_t OutputFile2 = 105;
constexpr int32_t LauncherClassFlag = 106;
constexpr int32_t ExecutableType = 107;
constexpr int32_t SplashEnabled = 108;
constexpr int32_t ClassPath = 121;
constexpr int32_t MainClass = 122;
constexpr int32_t VmOptions = 123;
constexpr int32_t Arguments = 124;
constexpr int32_t AcceptJOptions = 125;
constexpr int32_t MinJavaVersion = 126;
constexpr int32_t MaxJavaVersion = 127;
constexpr int32_t JreSearchSequence = 128;
constexpr int32_t AllowBetaJvm = 130;
constexpr int32_t RequireJdk = 131;
constexpr int32_t SplashImageWidth = 141;
constexpr int32_t SplashImageHeight = 142;
constexpr int32_t SplashAutoOff = 145;
constexpr int32_t WorkingDirectory = 146;
constexpr int32_t SplashTopmost = 147;
constexpr int32_t PreferredJvmType = 152;
constexpr int32_t QuietSwitches = 154;
constexpr int32_t ConsoleSwitch = 156;
constexpr int32_t GlobalSemaphore = 158;
constexpr int32_t InstallerApplicationId = 160;
constexpr int32_t JavaDownloadUrl = 161;
constexpr int32_t ProductFlavor = 2001;
constexpr int32_t IncludedFileCount = 2002;
constexpr int32_t IncludedFileNames = 2003;
// 1: the included files are kept per user and reused (services/IncludedFilesCache.h).
constexpr int32_t IncludedFilesCache = 2004;
// Where the Java half's classes lie behind the block (services/RuntimeClasses.h).
constexpr int32_t RuntimeClasses = 2005;
// The hash of the included files' names and data that names their folder.
constexpr int32_t IncludedFilesHash = 2006;
constexpr int32_t InstallationDirectory = 10003;
constexpr int32_t NativeLibraryPath = 10004;
constexpr int32_t SingleInstance = 10005;
constexpr int32_t StatusTextX = 10109;
constexpr int32_t StatusTextY = 10110;
constexpr int32_t StatusText = 10111;
constexpr int32_t StatusFontName = 10112;
constexpr int32_t StatusFontSize = 10113;
constexpr int32_t StatusTextColor = 10114;
constexpr int32_t StatusFontWeight = 10115;
constexpr int32_t VersionTextX = 10116;
constexpr int32_t VersionTextY = 10117;
constexpr int32_t VersionText = 10118;
constexpr int32_t VersionFontName = 10119;
constexpr int32_t VersionFontSize = 10120;
constexpr int32_t VersionTextColor = 10121;
constexpr int32_t VersionFontWeight = 10122;
constexpr int32_t JavaSplashLibrary = 10123;
}  // namespace rec

// Message records shown to the user (1000 is the dialog title).
namespace msg {
constexpr int32_t Title = 1000;
constexpr int32_t JvmNotStarted = 1005;
constexpr int32_t FileNotFound = 1006;
constexpr int32_t VariableUndefined = 1008;
constexpr int32_t InternalError = 1009;
constexpr int32_t MainClassNotLoaded = 1010;
constexpr int32_t MainMethodNotFound = 1011;
constexpr int32_t NotPowerUser = 1015;
// 1016 serves both launchers, with "32" or "64" for its {0}.
constexpr int32_t NoJvm = 1016;
constexpr int32_t EnvVarNoJvm32 = 1017;
constexpr int32_t EnvVarNoJvm64 = 1018;
constexpr int32_t JvmDamaged32 = 1019;
constexpr int32_t JvmDamaged64 = 1020;
// The question below 1016 when the configuration names a download address.
constexpr int32_t DownloadQuestion = 1021;
}  // namespace msg
