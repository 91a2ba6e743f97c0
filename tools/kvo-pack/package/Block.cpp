#include "tools/kvo-pack/package/Block.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>

#include "core/ConfigStore.h"
#include "tools/kvo-pack/host/SystemFiles.h"

namespace kvopack {
namespace {

void putInt(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

void putLong(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

void putBytes(std::string& out, std::string_view bytes) {
    putInt(out, static_cast<uint32_t>(bytes.size()));
    out += bytes;
}

void putWide(std::string& out, std::u16string_view text) {
    putInt(out, static_cast<uint32_t>(text.size() * 2));
    for (char16_t u : text) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    }
}

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

uint32_t le(const unsigned char* p, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

}  // namespace

std::string encodeBlock(const BlockRecords& records) {
    std::string out;
    putInt(out, kConfigMagic);
    putInt(out, static_cast<uint32_t>(kHeaderField4));
    putInt(out, static_cast<uint32_t>(kHeaderField8));
    putLong(out, 0);  // patched below
    putInt(out, static_cast<uint32_t>(records.narrow.size()));
    for (const NarrowRecord& r : records.narrow) {
        putInt(out, static_cast<uint32_t>(r.id));
        putBytes(out, r.value);
    }
    putInt(out, static_cast<uint32_t>(records.wide.size()));
    for (const WideRecord& r : records.wide) {
        putInt(out, static_cast<uint32_t>(r.id));
        putWide(out, r.value);
    }
    putInt(out, static_cast<uint32_t>(records.locales.size()));
    for (const LocaleSection& s : records.locales) {
        putBytes(out, s.key);
        putInt(out, static_cast<uint32_t>(s.records.size()));
        for (const WideRecord& r : s.records) {
            putInt(out, static_cast<uint32_t>(r.id));
            putWide(out, r.value);
        }
    }
    std::string rest;
    putLong(rest, out.size() - 12);
    out.replace(12, 8, rest);
    return out;
}

std::string blockTrailer(int64_t blockEnd) {
    std::string out;
    putInt(out, 0xD513E4E8u);  // bytes E8 E4 13 D5
    const int64_t length = blockEnd + 4;
    out.append(static_cast<size_t>((512 - length % 512) % 512), '\0');
    return out;
}

bool isBlockTrailer(std::string_view tail, int64_t blockEnd) {
    return tail == blockTrailer(blockEnd);
}

void scramble(char* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        data[i] = char(static_cast<unsigned char>(data[i]) ^ kScrambleMask);
}

FileSource::FileSource(const std::string& path) {
    fd_ = sys::openRead(path);
    sys::FileStatus st;
    if (fd_ < 0 || sys::fileStatus(fd_, st) != 0) {
        const int error = errno;
        if (fd_ >= 0)
            sys::closeFile(fd_);
        throw PackError("cannot open " + path + ": " + std::strerror(error));
    }
    if (!st.regular) {
        sys::closeFile(fd_);
        throw PackError("cannot open " + path + ": not a regular file");
    }
    size_ = st.size;
}

FileSource::~FileSource() { sys::closeFile(fd_); }

bool FileSource::seek(int64_t offset) {
    lost_ = offset < 0;
    if (!lost_)
        pos_ = offset;
    return !lost_;
}

uint32_t FileSource::read(void* buffer, uint32_t count) {
    if (lost_)
        return 0;
    uint32_t done = 0;
    while (done < count) {
        const int64_t n = sys::readAt(fd_, static_cast<char*>(buffer) + done, count - done, pos_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? uint32_t(errno) : 0;
            break;
        }
        done += uint32_t(n);
        pos_ += n;
    }
    return done;
}

int64_t imageEnd(BlockSource& source, const std::string& what) {
    const auto fail = [&](const std::string& why) -> int64_t {
        throw PackError(what + ": not a PE32 or PE32+ image: " + why);
    };
    const auto bytes = [&](int64_t offset, unsigned char* out, uint32_t count) {
        return offset >= 0 && source.seek(offset) && source.read(out, count) == count;
    };
    unsigned char buf[64];
    if (!bytes(0, buf, 64) || buf[0] != 'M' || buf[1] != 'Z')
        fail("no MZ header");
    const int32_t peOffset = static_cast<int32_t>(le(buf + 60, 4));
    unsigned char pe[26];
    if (peOffset <= 0 || !bytes(peOffset, pe, 26) || std::memcmp(pe, "PE\0\0", 4) != 0)
        fail("no PE signature at the offset the MZ header gives");
    const uint32_t sections = le(pe + 6, 2);
    const uint32_t optionalSize = le(pe + 20, 2);
    const uint32_t optionalMagic = le(pe + 24, 2);
    // The block lies behind the section data either way; the optional
    // header's own layout does not matter, only its declared size does.
    if (optionalSize < 2 || (optionalMagic != kPe32Magic && optionalMagic != kPe32PlusMagic))
        fail("no PE32 or PE32+ optional header");
    if (sections == 0 || sections > 0x7FFF)
        fail("it has no sections");
    const int64_t table = int64_t(peOffset) + 24 + optionalSize;
    int64_t furthest = 0, last = 0;
    for (uint32_t i = 0; i < sections; ++i) {
        unsigned char header[40];
        if (!bytes(table + int64_t(i) * 40, header, 40))
            fail("the section table runs past the end of the file");
        const int64_t end = int64_t(le(header + 20, 4)) + le(header + 16, 4);
        if (le(header + 16, 4) != 0 && end > source.size())
            fail("the data of section " + std::to_string(i + 1) + " runs past the end of the file");
        furthest = std::max(furthest, le(header + 16, 4) ? end : 0);
        last = end;
    }
    // The launcher takes the last header, not the furthest data: an image
    // whose sections are not in file order would have its block inside it.
    if (last < furthest || last <= 0)
        fail("its last section header does not describe the end of the image (ends at " +
             std::to_string(last) + ", data reaches " + std::to_string(furthest) + ")");
    if (last > INT32_MAX)
        fail("the image is larger than the launcher can address");
    // Find the block exactly as the launcher does, to be sure both agree.
    BlockDecoder decoder(source, nullptr);
    if (!decoder.seekToConfigBlock() || source.position() != last)
        throw PackError(what + ": the launcher would not find its block behind the image");
    return last;
}

std::string imageKind(BlockSource& source) {
    unsigned char dos[64];
    unsigned char pe[26];
    if (!source.seek(0) || source.read(dos, 64) != 64)
        return std::string();
    const int32_t peOffset = static_cast<int32_t>(le(dos + 60, 4));
    if (peOffset <= 0 || !source.seek(peOffset) || source.read(pe, 26) != 26)
        return std::string();
    const uint32_t machine = le(pe + 4, 2);
    const uint32_t magic = le(pe + 24, 2);
    std::string kind = magic == kPe32PlusMagic ? "PE32+" : magic == kPe32Magic ? "PE32" : "";
    if (kind.empty())
        return kind;
    const char* name = machine == 0x14C ? "i386" : machine == 0x8664 ? "x86-64" : nullptr;
    if (name) {
        kind += " ";
        kind += name;
    } else {
        char hex[16];
        std::snprintf(hex, sizeof hex, " machine 0x%04X", unsigned(machine));
        kind += hex;
    }
    return kind;
}

DecodedBlock readBlock(BlockSource& source, int64_t start, const std::string& what) {
    DecodedBlock block;
    block.start = start;
    BlockDecoder d(source, nullptr);
    const auto fail = [&](const std::string& detail) {
        throw PackError(what + ": " + detail + "; the launcher would stop with \"" +
                        blockErrorMessage(d.failure().error) + "\"");
    };
    const auto broken = [&] {
        fail("the configuration block at offset " + std::to_string(start) +
             " is cut short or damaged at offset " + std::to_string(source.position()));
    };
    source.seek(start);
    int32_t magic = 0, field = 0;
    int64_t longField = 0;
    if (!d.readInt(magic))
        fail("no configuration block behind the image (offset " + std::to_string(start) + ")");
    if (uint32_t(magic) != kConfigMagic) {
        throw PackError(what + ": no configuration block at offset " + std::to_string(start) +
                        " (found " + hex(uint32_t(magic)) +
                        "); the launcher would stop with \"Internal Error: magic\"");
    }
    if (!d.readInt(field) || !d.readInt(field) || !d.readLong(longField))
        broken();
    int32_t count = 0;
    if (!d.readInt(count))
        broken();
    for (int32_t i = 0; i < count; ++i) {
        NarrowRecord r;
        if (!d.readInt(r.id) || !d.readString(r.value))
            broken();
        block.records.narrow.push_back(std::move(r));
    }
    if (!d.readInt(count))
        broken();
    for (int32_t i = 0; i < count; ++i) {
        WideRecord r;
        if (!d.readInt(r.id) || !d.readWString(r.value))
            broken();
        block.records.wide.push_back(std::move(r));
    }
    if (!d.readInt(count))
        broken();
    for (int32_t s = 0; s < count; ++s) {
        LocaleSection section;
        int32_t records = 0;
        if (!d.readString(section.key) || !d.readInt(records))
            broken();
        for (int32_t i = 0; i < records; ++i) {
            WideRecord r;
            if (!d.readInt(r.id) || !d.readWString(r.value))
                broken();
            section.records.push_back(std::move(r));
        }
        block.records.locales.push_back(std::move(section));
    }
    block.end = source.position();
    block.bytes.resize(static_cast<size_t>(block.end - start));
    source.seek(start);
    if (source.read(block.bytes.data(), uint32_t(block.bytes.size())) != block.bytes.size())
        throw PackError(what + ": read error");
    return block;
}

}  // namespace kvopack

namespace kvopack {

size_t includedRecordsPosition(const std::vector<NarrowRecord>& narrow) {
    for (size_t i = 0; i < narrow.size(); ++i)
        if (narrow[i].id > rec::IncludedFileNames)
            return i;
    return narrow.size();
}

std::string joinIncludedNames(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : ";") + n;
    return out;
}

void addIncludedRecords(std::vector<NarrowRecord>& narrow, const std::vector<std::string>& names) {
    const auto at = narrow.begin() + ptrdiff_t(includedRecordsPosition(narrow));
    narrow.insert(at, {NarrowRecord{rec::IncludedFileCount, std::to_string(names.size())},
                       NarrowRecord{rec::IncludedFileNames, joinIncludedNames(names)}});
}

void setRuntimeClassesRecord(std::vector<NarrowRecord>& narrow, const std::string& value) {
    std::erase_if(narrow, [](const NarrowRecord& r) { return r.id == rec::RuntimeClasses; });
    const auto at = std::find_if(narrow.begin(), narrow.end(),
                                 [](const NarrowRecord& r) { return r.id > rec::RuntimeClasses; });
    narrow.insert(at, NarrowRecord{rec::RuntimeClasses, value});
}

}  // namespace kvopack
