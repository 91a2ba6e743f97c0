#include "services/FolderTree.h"

#include <string_view>

#include "core/Platform.h"

namespace {

// Deeper than the path functions reach without the long-path prefix; a
// bound keeps a hostile tree from exhausting the stack.
constexpr int kDeepestLevel = 128;

bool removeBelow(const std::wstring& folder, int level) {
    if (level > kDeepestLevel)
        return false;
    bool whole = true;
    {
        WIN32_FIND_DATAW entry;
        ScopedFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
        if (find.valid()) {
            do {
                const std::wstring_view name(entry.cFileName);
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring full = folder + L"\\" + std::wstring(name);
                const DWORD attributes = entry.dwFileAttributes;
                if (attributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(full.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
                bool gone;
                if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    gone = removeBelow(full, level + 1);
                else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    gone = RemoveDirectoryW(full.c_str()) != 0;  // the link, not its target
                else
                    gone = DeleteFileW(full.c_str()) != 0;
                whole = whole && gone;
            } while (FindNextFileW(find.get(), &entry));
        }
    }
    return RemoveDirectoryW(folder.c_str()) != 0 && whole;
}

}  // namespace

bool removeFolderTree(const std::wstring& folder) {
    if (folder.empty())
        return false;
    return removeBelow(folder, 0);
}
