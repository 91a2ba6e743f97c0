// The one place that includes <windows.h>; every Windows-bound file includes
// this instead, so the defines that shape the headers are the same everywhere.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

// A kernel32 function looked up at run time, for calls that older Windows
// versions lack (and so cannot be linked): nullptr where it is missing.
template <typename Fn>
Fn kernel32Function(const char* name) {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

// Move-only owner of a kernel handle; closes it when the owner goes away.
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            close();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }
    ~ScopedHandle() { close(); }

    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    void close() {
        if (valid())
            CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

// Owner of a FindFirstFile search handle.
class ScopedFindHandle {
public:
    explicit ScopedFindHandle(HANDLE h) : h_(h) {}
    ScopedFindHandle(const ScopedFindHandle&) = delete;
    ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;
    ~ScopedFindHandle() {
        if (valid())
            FindClose(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};
