#include <iostream>
#include <string>
#include <vector>

#include "tools/kvo-pack/Cli.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <memory>
#include <streambuf>

namespace {

std::string utf8Of(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// A console shows UTF-16; the packer's texts are UTF-8. Output that goes to
// a file or a pipe keeps its UTF-8 bytes and "\n" line ends, as on Linux.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            pending_ += char(c);
            if (c == '\n')
                sync();
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, size_t(n));
        if (pending_.find('\n') != std::string::npos)
            sync();
        return n;
    }
    int sync() override {
        if (pending_.empty())
            return 0;
        // A sequence cut at the end waits for the rest.
        size_t whole = pending_.size();
        size_t back = 0;
        while (back < 3 && back < whole && (static_cast<unsigned char>(pending_[whole - 1 - back]) & 0xC0) == 0x80)
            ++back;
        if (back < whole && static_cast<unsigned char>(pending_[whole - 1 - back]) >= 0xC0)
            whole -= back + 1;
        const int n = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), int(whole), nullptr, 0);
        std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
        if (n > 0)
            MultiByteToWideChar(CP_UTF8, 0, pending_.data(), int(whole), wide.data(), n);
        DWORD written = 0;
        if (!wide.empty())
            WriteConsoleW(console_, wide.data(), DWORD(wide.size()), &written, nullptr);
        pending_.erase(0, whole);
        return 0;
    }

private:
    HANDLE console_;
    std::string pending_;
};

// Points `stream` at the console when `handle` is one; binary otherwise.
void prepare(std::ostream& stream, int fd, DWORD which, std::unique_ptr<ConsoleBuffer>& buffer) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode;
    if (handle != INVALID_HANDLE_VALUE && handle && GetConsoleMode(handle, &mode)) {
        buffer = std::make_unique<ConsoleBuffer>(handle);
        stream.rdbuf(buffer.get());
    } else {
        _setmode(fd, _O_BINARY);
    }
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i)
        args.push_back(utf8Of(wide[i]));
    if (wide)
        LocalFree(wide);
    std::streambuf* const coutBuffer = std::cout.rdbuf();
    std::streambuf* const cerrBuffer = std::cerr.rdbuf();
    std::unique_ptr<ConsoleBuffer> out, err;
    prepare(std::cout, 1, STD_OUTPUT_HANDLE, out);
    prepare(std::cerr, 2, STD_ERROR_HANDLE, err);
    const int status = kvopack::runCli(args, std::cout, std::cerr);
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(coutBuffer);
    std::cerr.rdbuf(cerrBuffer);
    return status;
}

#else

int main(int argc, char** argv) {
    return kvopack::runCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

#endif
