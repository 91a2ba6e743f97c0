#include "core/LauncherFile.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/CodePage.h"
#include "core/ConfigBlock.h"
#include "core/ConfigStore.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/StartupState.h"

namespace {

constexpr DWORD kPathUnits = 8192;

std::string narrowPath;
std::wstring widePath;
uint32_t blockEnd = 0;
char language[3] = "";
char country[3] = "";

// The narrow form is usable when nothing was lost and it still ends in ".exe".
bool narrowPathFrom(const wchar_t* wide, std::string& out) {
    std::string narrow;
    if (!narrowExact(fileApiCodePage(), std::wstring_view(wide), narrow))
        return false;
    const size_t len = narrow.size();
    if (len < 4 || lstrcmpiA(narrow.c_str() + len - 4, ".exe") != 0)
        return false;
    out = std::move(narrow);
    return true;
}

void computeLauncherPath() {
    wchar_t module[kPathUnits];
    wchar_t longPath[kPathUnits];
    DWORD n = GetModuleFileNameW(nullptr, module, kPathUnits);
    if (n == 0 || n >= kPathUnits)
        module[0] = L'\0';
    // Only a path holding a short (8.3) name needs the long form, and every
    // short name that differs from its long one holds a "~". The lookup
    // reads each folder of the path, costly on some file systems and under
    // Wine, so a path without one is taken as it is.
    n = std::wcschr(module, L'~') ? GetLongPathNameW(module, longPath, kPathUnits) : 0;
    widePath = (n > 0 && n < kPathUnits) ? longPath : module;

    if (!narrowPathFrom(widePath.c_str(), narrowPath)) {
        wchar_t shortPath[kPathUnits];
        n = GetShortPathNameW(widePath.c_str(), shortPath, kPathUnits);
        if (n == 0 || n >= kPathUnits || !narrowPathFrom(shortPath, narrowPath)) {
            char moduleA[kPathUnits];
            char shortA[kPathUnits];
            n = GetModuleFileNameA(nullptr, moduleA, kPathUnits);
            if (n == 0 || n >= kPathUnits)
                moduleA[0] = '\0';
            n = GetShortPathNameA(moduleA, shortA, kPathUnits);
            narrowPath = (n > 0 && n < kPathUnits) ? shortA : moduleA;
        }
    }
    collapseBackslashes(widePath);
    collapseBackslashes(narrowPath);
}

class FileSource final : public BlockSource {
public:
    explicit FileSource(HANDLE file) : file_(file) {}
    bool seek(int64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = offset;
        lost_ = offset < 0 || !SetFilePointerEx(file_, to, nullptr, FILE_BEGIN);
        if (lost_)
            error_ = GetLastError();
        return !lost_;
    }
    uint32_t read(void* buffer, uint32_t count) override {
        if (lost_)
            return 0;
        DWORD got = 0;
        if (!ReadFile(file_, buffer, count, &got, nullptr)) {
            error_ = GetLastError();
            return 0;
        }
        if (got < count)
            error_ = GetLastError();
        return got;
    }
    int64_t position() const override {
        LARGE_INTEGER zero, pos;
        zero.QuadPart = 0;
        return SetFilePointerEx(file_, zero, &pos, FILE_CURRENT) ? pos.QuadPart : 0;
    }
    int64_t size() const override {
        LARGE_INTEGER size;
        return GetFileSizeEx(file_, &size) ? size.QuadPart : 0;
    }
    uint32_t lastError() const override { return error_; }

private:
    HANDLE file_;
    bool lost_ = false;
    DWORD error_ = 0;
};

// The block is decoded from many small fields; read one by one, each was a
// system call of its own (two with the seek), together more than the rest
// of the configuration step. This source reads the file in pieces of 8 KiB
// (the whole block of most launchers) and serves the fields from memory. It
// keeps no file position of its own: only for a file nothing else reads.
class BufferedFileSource final : public BlockSource {
public:
    explicit BufferedFileSource(HANDLE file) : file_(file) {}
    bool seek(int64_t offset) override {
        lost_ = offset < 0;
        if (lost_) {
            error_ = ERROR_NEGATIVE_SEEK;
            return false;
        }
        pos_ = offset;
        return true;
    }
    uint32_t read(void* buffer, uint32_t count) override {
        if (lost_)
            return 0;
        auto* out = static_cast<unsigned char*>(buffer);
        uint32_t done = 0;
        while (done < count) {
            if (pos_ >= start_ && pos_ < start_ + int64_t(length_)) {
                const uint32_t at = static_cast<uint32_t>(pos_ - start_);
                const uint32_t n = std::min(count - done, length_ - at);
                std::memcpy(out + done, piece_ + at, n);
                done += n;
                pos_ += n;
            } else if (!fill()) {
                break;
            }
        }
        return done;
    }
    int64_t position() const override { return pos_; }
    // Asked before every text record; the launcher's own file does not
    // change size while it starts, so the system is asked once.
    int64_t size() const override {
        if (size_ < 0) {
            LARGE_INTEGER size;
            size_ = GetFileSizeEx(file_, &size) ? size.QuadPart : 0;
        }
        return size_;
    }
    uint32_t lastError() const override { return error_; }

private:
    bool fill() {
        LARGE_INTEGER to;
        to.QuadPart = pos_;
        DWORD got = 0;
        if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN) || !ReadFile(file_, piece_, sizeof piece_, &got, nullptr) ||
            got == 0) {
            error_ = GetLastError();
            return false;
        }
        start_ = pos_;
        length_ = got;
        return true;
    }

    HANDLE file_;
    int64_t pos_ = 0;
    bool lost_ = false;
    DWORD error_ = 0;
    int64_t start_ = 0;
    uint32_t length_ = 0;
    mutable int64_t size_ = -1;
    unsigned char piece_[8192];
};

void logBlockLine(const char* line) { logMessage("%s", line); }

[[noreturn]] void failBlock(const BlockFailure& failure) {
    switch (failure.error) {
    case BlockError::readLong:
    case BlockError::readShort:
        logMessage("error %d\n", static_cast<int>(failure.systemError));
        break;
    case BlockError::readInt:
        logMessage("error %d %d\n", static_cast<int>(failure.systemError), static_cast<int>(failure.bytesRead));
        break;
    default:
        break;
    }
    fatalError(blockErrorMessage(failure.error));
}

}  // namespace

const char* launcherPath() {
    if (narrowPath.empty())
        computeLauncherPath();
    return narrowPath.c_str();
}

const wchar_t* launcherPathWide() {
    if (narrowPath.empty())
        computeLauncherPath();
    return widePath.c_str();
}

HANDLE openLauncherFile() {
    return CreateFileA(launcherPath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int32_t loadConfiguration(const WideArgs& arguments, LocaleFinder findLocale) {
    ScopedHandle file(openLauncherFile());
    if (!file.valid()) {
        logError("Could not open %s", launcherPath());
        fatalError("Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    BufferedFileSource source(file.get());
    BlockDecoder decoder(source, logBlockLine);
    ConfigStore& store = configStore();
    if (!decoder.seekToConfigBlock() || !decoder.readRecords(store))
        failBlock(decoder.failure());

    char locale[12] = "";
    findLocale(&arguments, locale, sizeof locale);
    const size_t localeLength = std::strlen(locale);
    if (localeLength >= 2) {
        std::memcpy(language, locale, 2);
        language[2] = '\0';
    }
    if (localeLength == 5) {
        std::memcpy(country, locale + 3, 2);
        country[2] = '\0';
    }
    if (!decoder.readLocaleSections(store, locale))
        failBlock(decoder.failure());

    const int64_t end = source.position();
    blockEnd = static_cast<uint32_t>(end);
    file.close();

    const int32_t executableType = getConfigInt(rec::ExecutableType);
    if (executableType != 1 && executableType != 5)
        useErrorDialogs = false;
    return executableType;
}

uint32_t blockEndOffset() { return blockEnd; }

int64_t readLong(HANDLE file) {
    FileSource source(file);
    BlockDecoder decoder(source, logBlockLine);
    int64_t value = 0;
    if (!decoder.readLong(value))
        failBlock(decoder.failure());
    return value;
}

bool readLauncherBytes(uint64_t offset, uint32_t length, std::string& out) {
    out.clear();
    ScopedHandle file(openLauncherFile());
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(offset);
    if (!file.valid() || !SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
        logError("could not read %s at %llu (%lu)", launcherPath(), static_cast<unsigned long long>(offset),
                 GetLastError());
        return false;
    }
    out.resize(length);
    DWORD done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadFile(file.get(), out.data() + done, length - done, &got, nullptr) || got == 0) {
            logError("ReadFile failed %lu %lu %lu", got, GetLastError(), done);
            out.clear();
            return false;
        }
        done += got;
    }
    return true;
}

static bool copyPart(const char* part, char* out, size_t capacity) {
    if (part[0] == '\0' || capacity < 3)
        return false;
    std::memcpy(out, part, 3);
    return true;
}

bool localeLanguage(char* out, size_t capacity) { return copyPart(language, out, capacity); }
bool localeCountry(char* out, size_t capacity) { return copyPart(country, out, capacity); }

int copyRange(HANDLE source, HANDLE destination, int64_t length, bool scramble, size_t chunkSize) {
    if (length <= 0)
        return 0;
    unsigned char small[8192];
    std::vector<unsigned char> large;
    unsigned char* chunk = small;
    size_t capacity = sizeof small;
    // A larger piece only where it saves calls: each read and write costs
    // about as much as copying a few kilobytes.
    if (chunkSize > sizeof small && length > int64_t(sizeof small)) {
        large.resize(length < int64_t(chunkSize) ? size_t(length) : chunkSize);
        chunk = large.data();
        capacity = large.size();
    }
    int64_t copied = 0;
    while (copied < length) {
        const int64_t remaining = length - copied;
        const DWORD want = remaining < int64_t(capacity) ? DWORD(remaining) : DWORD(capacity);
        DWORD got = 0;
        if (!ReadFile(source, chunk, want, &got, nullptr) || got == 0) {
            const DWORD error = GetLastError();
            logError("ReadFile failed %lu %lu %lld", got, error, static_cast<long long>(copied));
            return 1;
        }
        if (scramble)
            for (DWORD i = 0; i < got; ++i)
                chunk[i] ^= kScrambleMask;
        DWORD written = 0;
        while (written < got) {
            DWORD n = 0;
            if (!WriteFile(destination, chunk + written, got - written, &n, nullptr) || n == 0) {
                const DWORD error = GetLastError();
                logError("WriteFile failed %lu %lu", got - written, error);
                return 2;
            }
            written += n;
        }
        copied += got;
    }
    return 0;
}
