// The two settings the packer writes into the application manifest: the
// requested execution level and the DPI awareness. The manifest is read as
// XML (namespaces resolved, comments and prefixes respected) and changed
// only where a setting goes; every other byte stays as it stands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvopack {

enum class ExecutionLevel { asInvoker, highestAvailable, requireAdministrator };
enum class DpiAwareness { unaware, aware, perMonitorV2 };

std::optional<ExecutionLevel> executionLevelByName(std::string_view name);
std::optional<DpiAwareness> dpiAwarenessByName(std::string_view name);
std::string_view executionLevelName(ExecutionLevel level);
std::string_view dpiAwarenessName(DpiAwareness dpi);

// The manifest with the requested execution level and DPI awareness
// replaced or added. Throws PackError for a manifest that is not XML or
// not an assembly.
std::string rewriteManifest(std::string_view manifest, std::optional<ExecutionLevel> level,
                            std::optional<DpiAwareness> dpi);
// What a manifest asks for, for dump: the level attribute's value and the
// dpiAware / dpiAwareness texts, empty when absent or when the manifest
// is no valid XML.
std::string manifestExecutionLevel(std::string_view manifest);
std::string manifestDpiSetting(std::string_view manifest);

}  // namespace kvopack
