// The resources of an image as a flat list, read from and written as the
// three-level directory (type, name, language) of a resource section.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvo-pack/image/PeImage.h"

namespace kvopack {

namespace rt {
constexpr uint32_t cursor = 1, bitmap = 2, icon = 3, rcdata = 10, groupIcon = 14, version = 16,
                   manifest = 24;
}

// A resource type, name or language: a number, or a name (kept upper-case,
// as the loader compares names).
struct ResourceKey {
    uint32_t id = 0;
    std::u16string name;

    static ResourceKey number(uint32_t id) { return {id, {}}; }
    static ResourceKey named(std::u16string_view name);
    bool isName() const { return !name.empty(); }
    bool operator==(const ResourceKey&) const = default;
    std::string text() const;  // "24" or "ID_SPLASH_ICON"
};

// The order of a directory: names first, by code unit, then numbers.
bool keyLess(const ResourceKey& a, const ResourceKey& b);

struct Resource {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::string data;
};

// Every resource of `image`, or none when it has no resource directory.
// Throws PackError("<what>: ...") for a directory that is damaged.
std::vector<Resource> readResources(std::string_view image, const PeHeaders& headers,
                                    const std::string& what);

// The bytes of a resource section at `rva` holding `resources`. Two with
// the same type, name and language are a programming error.
std::string buildResourceSection(std::vector<Resource> resources, uint32_t rva);

}  // namespace kvopack
