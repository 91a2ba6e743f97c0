#include "services/RuntimeClasses.h"

#include <array>

#include "core/AsciiCase.h"

namespace {

// Decimal digits only, no sign, no blank: the packer writes nothing else,
// and a value that reads as a number some other way is no value of ours.
std::optional<uint32_t> decimal(std::string_view text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    // File offsets of the launcher are 32-bit signed values.
    if (value > 0x7FFFFFFFu)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

constexpr std::array<uint32_t, 256> kCrcTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

uint32_t little(std::string_view bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A binary name as DefineClass takes it: identifiers of ASCII letters,
// digits, '_' and '$' between single slashes.
bool isClassName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.back() == '/')
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool identifier = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                c == '_' || c == '$';
        if (!identifier && !(c == '/' && name[i - 1] != '/'))
            return false;
    }
    return true;
}

}  // namespace

std::optional<RuntimeClassesPlace> parseRuntimeClassesPlace(std::string_view text) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto offset = decimal(text.substr(0, comma));
    const auto length = decimal(text.substr(comma + 1));
    if (!offset || !length || *length == 0 || *length > kRuntimeClassesMaxBytes)
        return std::nullopt;
    return RuntimeClassesPlace{*offset, *length};
}

std::string formatRuntimeClassesPlace(RuntimeClassesPlace place) {
    return std::to_string(place.offset) + "," + std::to_string(place.length);
}

uint32_t crc32(std::string_view bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (char b : bytes)
        c = kCrcTable[(c ^ static_cast<unsigned char>(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

namespace {

const char* readPack(std::string_view pack, std::vector<RuntimeClass>& classes) {
    constexpr size_t kHeader = 12;
    if (pack.size() < kHeader || pack.substr(0, 4) != kRuntimeClassesMagic)
        return "it does not begin as a pack of classes";
    if (pack.size() > kRuntimeClassesMaxBytes)
        return "it is larger than a pack of classes can be";
    const uint32_t count = little(pack, 4, 4);
    if (count == 0 || count > kRuntimeClassesMaxCount)
        return "its count of classes is out of range";
    if (crc32(pack.substr(kHeader)) != little(pack, 8, 4))
        return "its checksum does not match: the file is damaged";
    size_t at = kHeader;
    for (uint32_t i = 0; i < count; ++i) {
        if (pack.size() - at < 2)
            return "it ends inside a class's name";
        const size_t nameLength = little(pack, at, 2);
        at += 2;
        if (pack.size() - at < nameLength)
            return "it ends inside a class's name";
        const std::string_view name = pack.substr(at, nameLength);
        at += nameLength;
        if (!isClassName(name))
            return "a class's name is no class name";
        if (pack.size() - at < 4)
            return "it ends inside a class's length";
        const size_t length = little(pack, at, 4);
        at += 4;
        if (pack.size() - at < length)
            return "it ends inside a class file";
        const std::string_view bytes = pack.substr(at, length);
        at += length;
        if (bytes.size() < 4 || little(bytes, 0, 4) != 0xBEBAFECAu)
            return "a class file does not begin as one";
        classes.push_back({name, bytes});
    }
    if (at != pack.size())
        return "bytes follow its last class";
    return nullptr;
}

}  // namespace

const char* readRuntimeClasses(std::string_view pack, std::vector<RuntimeClass>& classes) {
    std::vector<RuntimeClass> read;
    const char* problem = readPack(pack, read);
    classes = problem ? std::vector<RuntimeClass>() : std::move(read);
    return problem;
}

bool carriesJavaHalf(const ConfigStore& store) {
    const auto text = [&](int32_t id) {
        const auto found = store.narrow.find(id);
        return found == store.narrow.end() ? std::string_view() : std::string_view(found->second);
    };
    if (!text(rec::RuntimeClasses).empty())
        return true;
    if (parseConfigInt(text(rec::IncludedFileCount)) <= 0)
        return false;
    std::string_view names = text(rec::IncludedFileNames);
    // Empty names count for nothing, as the extraction skips them.
    while (!names.empty() && names.back() == ';')
        names.remove_suffix(1);
    const size_t separator = names.rfind(';');
    const std::string_view last = separator == std::string_view::npos ? names : names.substr(separator + 1);
    return equalsIgnoringAsciiCase(last, kRuntimeJarFileName);
}
