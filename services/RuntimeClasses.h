// The Java half's classes as kvo-pack packs them behind the block, after
// the included files: where they lie (record RuntimeClasses) and the pack
// they form. The launcher defines them in the VM from its own file, so no
// start writes them anywhere. Free of the platform: the launcher, the
// packer's dump, the HotSpot host and the fuzzer read them alike.
//
// The pack, little-endian: "KVOC", the count, the CRC-32 of everything
// that follows, then per class its name's length (2 bytes), its slashed
// name and its class file's length (4 bytes) and bytes, in the order they
// are to be defined (every superclass and interface of the pack before the
// classes that name it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ConfigStore.h"

// The launcher holds the pack in memory while it defines the classes.
constexpr uint32_t kRuntimeClassesMaxBytes = 16u * 1024 * 1024;
constexpr uint32_t kRuntimeClassesMaxCount = 4096;
constexpr std::string_view kRuntimeClassesMagic = "KVOC";
// What the older packers included as a file; its launchers extract it.
constexpr std::string_view kRuntimeJarFileName = "kvo-runtime.jar";

// The launcher logs this before it reads the pack; so the text stands in its
// image, and the packer tells a stub that reads the pack from an older one,
// which would find no launcher class in it.
constexpr char kRuntimeClassesReaderMark[] = "Java half: classes at (record RuntimeClasses)";

// The value of record RuntimeClasses: "OFFSET,LENGTH", the pack's distance
// from the block's end and its length, decimal.
struct RuntimeClassesPlace {
    uint32_t offset = 0;
    uint32_t length = 0;
};
std::optional<RuntimeClassesPlace> parseRuntimeClassesPlace(std::string_view text);
std::string formatRuntimeClassesPlace(RuntimeClassesPlace place);

struct RuntimeClass {
    std::string_view name;  // slashed, as JNI's DefineClass takes it
    std::string_view bytes;
};

// The classes of `pack` in their order; null on success, else what is wrong
// (every length is checked against what is there before it is used).
const char* readRuntimeClasses(std::string_view pack, std::vector<RuntimeClass>& classes);

uint32_t crc32(std::string_view bytes);

// Whether the launcher carries the Java half: the pack, or kvo-runtime.jar
// as the last included file, as older packers included it.
bool carriesJavaHalf(const ConfigStore& store);
