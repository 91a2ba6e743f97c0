// What [resources] and [version] make of a launcher's resources, and how
// dump describes them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/kvo-pack/config/ConfigText.h"
#include "tools/kvo-pack/image/ResourceFiles.h"
#include "tools/kvo-pack/image/ResourceTree.h"

namespace kvopack {

// The splash window class loads its icon by this name.
inline constexpr std::u16string_view kSplashIconName = u"ID_SPLASH_ICON";
// The application's icon group. Named groups precede numbered ones and the
// shell takes the first group, so it needs a name sorting before the
// splash icon's.
inline constexpr std::u16string_view kApplicationIconName = u"APPICON";
constexpr uint32_t kSplashResourceId = 10000;

struct ResourceInputs {
    std::vector<IconImage> icon;
    std::vector<IconImage> splashIcon;  // empty: the application icon serves
    std::optional<Dib> splashBitmap;
    std::optional<std::string> splashImage;
};

// Reads and checks the files [resources] names (relative to the directory
// of `configPath`), and fills SplashImageWidth and SplashImageHeight from
// the splash bitmap when the configuration leaves them out. Errors name the
// configuration's file and line.
ResourceInputs loadResourceInputs(PackConfig& config, const std::string& configPath);

// Resources of the kinds the packer writes: icons and their groups, the
// version resource, bitmap 10000 and RT_RCDATA 10000.
bool isPackerResource(const Resource& r);

// `existing` without the packer's kinds, plus what the configuration asks
// for; the manifest rewritten when it names an execution level or DPI mode.
std::vector<Resource> combineResources(std::vector<Resource> existing, const ResourceInputs& inputs,
                                       const PackConfig& config, const std::string& what);

// The [resources] and [version] sections dump prints for these resources,
// or nothing when the launcher carries none of the packer's kinds and the
// stock manifest choices. With `pathFor` the icons and splash images are
// handed back as files (name, bytes) and named by pathFor(name) in the text;
// without, they are described in comments.
struct ResourceDump {
    std::string text;
    std::vector<std::pair<std::string, std::string>> files;
};
ResourceDump describeResources(const std::vector<Resource>& resources,
                               const std::function<std::string(const std::string&)>& pathFor);

}  // namespace kvopack
