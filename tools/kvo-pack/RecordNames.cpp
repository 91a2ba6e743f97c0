#include "tools/kvo-pack/RecordNames.h"

#include <array>

#include "core/ConfigStore.h"

namespace kvopack {
namespace {

constexpr size_t kText = 8191;  // the launcher's 8192-byte buffers

constexpr std::array kNames = {
    RecordName{"ApplicationName", rec::ApplicationName, ValueKind::text, kText},
    RecordName{"OutputFile1Enabled", rec::OutputFile1Enabled, ValueKind::flag, kText},
    RecordName{"OutputFile1", rec::OutputFile1, ValueKind::text, kText},
    RecordName{"OutputFile2Enabled", rec::OutputFile2Enabled, ValueKind::flag, kText},
    RecordName{"OutputFile2", rec::OutputFile2, ValueKind::text, kText},
    RecordName{"LauncherClassFlag", rec::LauncherClassFlag, ValueKind::flag, kText},
    RecordName{"ExecutableType", rec::ExecutableType, ValueKind::number, kText},
    RecordName{"SplashEnabled", rec::SplashEnabled, ValueKind::flag, kText},
    RecordName{"ClassPath", rec::ClassPath, ValueKind::text, kText},
    RecordName{"MainClass", rec::MainClass, ValueKind::text, kText},
    RecordName{"VmOptions", rec::VmOptions, ValueKind::text, kText},
    RecordName{"Arguments", rec::Arguments, ValueKind::text, kText},
    RecordName{"AcceptJOptions", rec::AcceptJOptions, ValueKind::flag, kText},
    RecordName{"MinJavaVersion", rec::MinJavaVersion, ValueKind::text, kText},
    RecordName{"MaxJavaVersion", rec::MaxJavaVersion, ValueKind::text, kText},
    RecordName{"JreSearchSequence", rec::JreSearchSequence, ValueKind::text, kText},
    RecordName{"AllowBetaJvm", rec::AllowBetaJvm, ValueKind::flag, kText},
    RecordName{"RequireJdk", rec::RequireJdk, ValueKind::flag, kText},
    RecordName{"SplashImageWidth", rec::SplashImageWidth, ValueKind::number, kText},
    RecordName{"SplashImageHeight", rec::SplashImageHeight, ValueKind::number, kText},
    RecordName{"SplashAutoOff", rec::SplashAutoOff, ValueKind::flag, kText},
    RecordName{"WorkingDirectory", rec::WorkingDirectory, ValueKind::text, kText},
    RecordName{"SplashTopmost", rec::SplashTopmost, ValueKind::flag, kText},
    RecordName{"PreferredJvmType", rec::PreferredJvmType, ValueKind::text, 199},
    RecordName{"QuietSwitches", rec::QuietSwitches, ValueKind::flag, kText},
    RecordName{"ConsoleSwitch", rec::ConsoleSwitch, ValueKind::flag, kText},
    RecordName{"GlobalSemaphore", rec::GlobalSemaphore, ValueKind::flag, kText},
    RecordName{"InstallerApplicationId", rec::InstallerApplicationId, ValueKind::text, kText},
    RecordName{"ProductFlavor", rec::ProductFlavor, ValueKind::text, 1},
    RecordName{"IncludedFileCount", rec::IncludedFileCount, ValueKind::number, kText},
    RecordName{"IncludedFileNames", rec::IncludedFileNames, ValueKind::text, kText},
    RecordName{"InstallationDirectory", rec::InstallationDirectory, ValueKind::text, kText},
    RecordName{"NativeLibraryPath", rec::NativeLibraryPath, ValueKind::text, kText},
    RecordName{"SingleInstance", rec::SingleInstance, ValueKind::flag, kText},
    RecordName{"StatusTextX", rec::StatusTextX, ValueKind::number, kText},
    RecordName{"StatusTextY", rec::StatusTextY, ValueKind::number, kText},
    RecordName{"StatusText", rec::StatusText, ValueKind::text, kText},
    RecordName{"StatusFontName", rec::StatusFontName, ValueKind::text, 31},
    RecordName{"StatusFontSize", rec::StatusFontSize, ValueKind::number, kText},
    RecordName{"StatusTextColor", rec::StatusTextColor, ValueKind::colour, kText},
    RecordName{"StatusFontWeight", rec::StatusFontWeight, ValueKind::number, kText},
    RecordName{"VersionTextX", rec::VersionTextX, ValueKind::number, kText},
    RecordName{"VersionTextY", rec::VersionTextY, ValueKind::number, kText},
    RecordName{"VersionText", rec::VersionText, ValueKind::text, kText},
    RecordName{"VersionFontName", rec::VersionFontName, ValueKind::text, 31},
    RecordName{"VersionFontSize", rec::VersionFontSize, ValueKind::number, kText},
    RecordName{"VersionTextColor", rec::VersionTextColor, ValueKind::colour, kText},
    RecordName{"VersionFontWeight", rec::VersionFontWeight, ValueKind::number, kText},
    RecordName{"JavaSplashLibrary", rec::JavaSplashLibrary, ValueKind::flag, kText},
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

std::span<const RecordName> recordNames() { return kNames; }

const RecordName* findRecordByName(std::string_view name) {
    for (const auto& r : kNames)
        if (r.name == name)
            return &r;
    return nullptr;
}

const RecordName* findRecordById(int32_t id) {
    for (const auto& r : kNames)
        if (r.id == id)
            return &r;
    return nullptr;
}

const RecordName* findRecordByNameIgnoringCase(std::string_view name) {
    for (const auto& r : kNames) {
        if (r.name.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; same && i < name.size(); ++i)
            same = lower(r.name[i]) == lower(name[i]);
        if (same)
            return &r;
    }
    return nullptr;
}

}  // namespace kvopack
