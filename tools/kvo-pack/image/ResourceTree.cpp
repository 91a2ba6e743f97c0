#include "tools/kvo-pack/image/ResourceTree.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "tools/kvo-pack/host/Encoding.h"
#include "tools/kvo-pack/image/LittleEndian.h"

namespace kvopack {
namespace {

constexpr size_t kDirectorySize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;
// More than any real image carries; a directory that claims more is damaged
// or made to exhaust the reader.
constexpr size_t kMostResources = 65536;

using le::get;
using le::put;

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

class Reader {
public:
    Reader(std::string_view image, const PeHeaders& headers, size_t base, const std::string& what)
        : image_(image), headers_(headers), base_(base), what_(what) {}

    void directory(uint32_t offset, int level, ResourceKey type, ResourceKey name,
                   std::vector<Resource>& out) {
        // Each directory is read once: entries that share one would have its
        // resources copied for each of them, exponentially over the levels.
        if (!directories_.insert(offset).second)
            damaged("a directory is reached from more than one entry");
        const size_t at = base_ + offset;
        if (at > image_.size() || image_.size() - at < kDirectorySize)
            damaged("a directory lies outside the image");
        const size_t count = get(image_, at + 12, 2) + size_t(get(image_, at + 14, 2));
        if ((image_.size() - at - kDirectorySize) / kEntrySize < count)
            damaged("a directory's entries run past the end of the image");
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = at + kDirectorySize + i * kEntrySize;
            const uint32_t nameField = get(image_, entry, 4);
            const uint32_t target = get(image_, entry + 4, 4);
            const ResourceKey key = (nameField & kHighBit) ? nameAt(nameField & ~kHighBit)
                                                           : ResourceKey::number(nameField);
            const bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level < 2))
                damaged("the tree is not three levels deep");
            if (level == 0)
                directory(target & ~kHighBit, 1, key, {}, out);
            else if (level == 1)
                directory(target & ~kHighBit, 2, type, key, out);
            else
                data(target, type, name, key, out);
        }
    }

private:
    [[noreturn]] void damaged(const std::string& why) const {
        throw PackError(what_ + ": the resource directory is damaged: " + why);
    }

    ResourceKey nameAt(uint32_t offset) const {
        const size_t at = base_ + offset;
        if (at > image_.size() || image_.size() - at < 2)
            damaged("a name lies outside the image");
        const size_t length = get(image_, at, 2);
        if ((image_.size() - at - 2) / 2 < length || length == 0)
            damaged("a name runs past the end of the image");
        std::u16string name;
        for (size_t i = 0; i < length; ++i)
            name += char16_t(get(image_, at + 2 + 2 * i, 2));
        return ResourceKey::named(name);
    }

    void data(uint32_t offset, const ResourceKey& type, const ResourceKey& name,
              const ResourceKey& language, std::vector<Resource>& out) {
        const size_t at = base_ + offset;
        if (at > image_.size() || image_.size() - at < kDataEntrySize)
            damaged("a data entry lies outside the image");
        if (out.size() >= kMostResources)
            damaged("it lists more than " + std::to_string(kMostResources) + " resources");
        const uint32_t rva = get(image_, at, 4), size = get(image_, at + 4, 4);
        const auto where = rvaToOffset(headers_, image_, rva, size);
        const std::string which = "resource " + type.text() + "/" + name.text();
        if (!where)
            damaged("the data of " + which + " lies outside the sections");
        // Resource data is copied; no byte of the image is copied twice.
        if (size > 0) {
            const auto next = data_.lower_bound(*where);
            if ((next != data_.end() && next->first < *where + size) ||
                (next != data_.begin() && std::prev(next)->second > *where))
                damaged("the data of " + which + " overlaps that of another resource");
            data_[*where] = *where + size;
        }
        Resource r;
        r.type = type;
        r.name = name;
        r.language = uint16_t(language.id);
        r.codePage = get(image_, at + 8, 4);
        r.data = std::string(image_.substr(*where, size));
        out.push_back(std::move(r));
    }

    std::string_view image_;
    const PeHeaders& headers_;
    size_t base_;
    const std::string& what_;
    std::set<uint32_t> directories_;
    std::map<size_t, size_t> data_;  // start and end offsets of the data read
};

struct NameGroup {
    ResourceKey key;
    std::vector<size_t> items;  // indexes into the sorted resources
};

struct TypeGroup {
    ResourceKey key;
    std::vector<NameGroup> names;
};

size_t align(size_t v, size_t a) { return (v + a - 1) / a * a; }

}  // namespace

ResourceKey ResourceKey::named(std::u16string_view name) {
    ResourceKey key;
    for (char16_t c : name)
        key.name += upper(c);
    return key;
}

std::string ResourceKey::text() const {
    if (!isName())
        return std::to_string(id);
    std::string out;
    for (char16_t c : name)
        appendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? U'?' : char32_t(c));
    return out;
}

bool keyLess(const ResourceKey& a, const ResourceKey& b) {
    if (a.isName() != b.isName())
        return a.isName();
    return a.isName() ? a.name < b.name : a.id < b.id;
}

std::vector<Resource> readResources(std::string_view image, const PeHeaders& headers,
                                    const std::string& what) {
    const DataDirectory dir = headers.directory(kResourceDirectory);
    std::vector<Resource> out;
    if (dir.address == 0)
        return out;
    const auto base = rvaToOffset(headers, image, dir.address, uint32_t(kDirectorySize));
    if (!base)
        throw PackError(what + ": the resource directory lies outside the sections");
    Reader(image, headers, *base, what).directory(0, 0, {}, {}, out);
    return out;
}

std::string buildResourceSection(std::vector<Resource> resources, uint32_t rva) {
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (!(a.type == b.type))
            return keyLess(a.type, b.type);
        if (!(a.name == b.name))
            return keyLess(a.name, b.name);
        return a.language < b.language;
    });
    std::vector<TypeGroup> types;
    for (size_t i = 0; i < resources.size(); ++i) {
        const Resource& r = resources[i];
        if (types.empty() || !(types.back().key == r.type))
            types.push_back({r.type, {}});
        auto& names = types.back().names;
        if (names.empty() || !(names.back().key == r.name))
            names.push_back({r.name, {}});
        names.back().items.push_back(i);
    }

    // Offsets: directories, data entries, names, then the data.
    size_t offset = kDirectorySize + types.size() * kEntrySize;
    std::vector<size_t> typeDirs, nameDirs;
    for (const TypeGroup& t : types) {
        typeDirs.push_back(offset);
        offset += kDirectorySize + t.names.size() * kEntrySize;
    }
    for (const TypeGroup& t : types)
        for (const NameGroup& n : t.names) {
            nameDirs.push_back(offset);
            offset += kDirectorySize + n.items.size() * kEntrySize;
        }
    const size_t dataEntries = offset;
    offset += resources.size() * kDataEntrySize;
    std::map<std::u16string, size_t> nameOffsets;
    for (const TypeGroup& t : types) {
        std::vector<const ResourceKey*> keys = {&t.key};
        for (const NameGroup& n : t.names)
            keys.push_back(&n.key);
        for (const ResourceKey* k : keys)
            if (k->isName() && !nameOffsets.count(k->name)) {
                nameOffsets[k->name] = offset;
                offset += 2 + 2 * k->name.size();
            }
    }
    offset = align(offset, 8);
    std::vector<size_t> dataOffsets;
    for (const Resource& r : resources) {
        dataOffsets.push_back(offset);
        offset = align(offset + r.data.size(), 8);
    }

    std::string out(offset, '\0');
    const auto directory = [&](size_t at, const std::vector<ResourceKey>& keys) {
        size_t named = 0;
        for (const ResourceKey& k : keys)
            named += k.isName();
        put(out, at + 12, uint32_t(named), 2);
        put(out, at + 14, uint32_t(keys.size() - named), 2);
    };
    const auto entry = [&](size_t at, const ResourceKey& key, uint32_t target) {
        put(out, at, key.isName() ? uint32_t(nameOffsets.at(key.name)) | kHighBit : key.id, 4);
        put(out, at + 4, target, 4);
    };
    std::vector<ResourceKey> typeKeys;
    for (const TypeGroup& t : types)
        typeKeys.push_back(t.key);
    directory(0, typeKeys);
    size_t nameIndex = 0;
    for (size_t t = 0; t < types.size(); ++t) {
        entry(kDirectorySize + t * kEntrySize, types[t].key, uint32_t(typeDirs[t]) | kHighBit);
        std::vector<ResourceKey> nameKeys;
        for (const NameGroup& n : types[t].names)
            nameKeys.push_back(n.key);
        directory(typeDirs[t], nameKeys);
        for (size_t n = 0; n < types[t].names.size(); ++n, ++nameIndex) {
            const NameGroup& group = types[t].names[n];
            entry(typeDirs[t] + kDirectorySize + n * kEntrySize, group.key,
                  uint32_t(nameDirs[nameIndex]) | kHighBit);
            std::vector<ResourceKey> languages;
            for (size_t i : group.items)
                languages.push_back(ResourceKey::number(resources[i].language));
            directory(nameDirs[nameIndex], languages);
            for (size_t l = 0; l < group.items.size(); ++l) {
                const size_t i = group.items[l];
                entry(nameDirs[nameIndex] + kDirectorySize + l * kEntrySize, languages[l],
                      uint32_t(dataEntries + i * kDataEntrySize));
            }
        }
    }
    for (const auto& [name, at] : nameOffsets) {
        put(out, at, uint32_t(name.size()), 2);
        for (size_t k = 0; k < name.size(); ++k)
            put(out, at + 2 + 2 * k, name[k], 2);
    }
    for (size_t i = 0; i < resources.size(); ++i) {
        const size_t at = dataEntries + i * kDataEntrySize;
        put(out, at, rva + uint32_t(dataOffsets[i]), 4);
        put(out, at + 4, uint32_t(resources[i].data.size()), 4);
        put(out, at + 8, resources[i].codePage, 4);
        out.replace(dataOffsets[i], resources[i].data.size(), resources[i].data);
    }
    return out;
}

}  // namespace kvopack
