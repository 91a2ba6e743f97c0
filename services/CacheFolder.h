// The text side of the folder in which a launcher with IncludedFilesCache
// keeps its included files from one start to the next: the names of its
// folders and the small index of what a start wrote there. Free of the
// platform: the launcher, the packer and the fuzzer read them alike.
//
// %LOCALAPPDATA%\korvo\APPLICATION\HASH        the files of one content
// %LOCALAPPDATA%\korvo\APPLICATION\HASH.new-N  a start writing them
// %LOCALAPPDATA%\korvo\APPLICATION\HASH.old-N  a content on its way out
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The index's name in a content folder; no included file may take it.
constexpr std::string_view kCacheIndexName = "kvo-files.idx";
// The folder below the local application data that holds every application's.
constexpr std::string_view kCacheRootName = "korvo";
// Hexadecimal digits of the content hash the packer stores (record
// IncludedFilesHash) and the launcher names the content folder by.
constexpr size_t kContentHashDigits = 16;
// Longest application folder name, in characters.
constexpr size_t kApplicationFolderMax = 64;

// The launcher logs this when it keeps its files; so the text stands in its
// image, and the packer tells a stub that can from an older one, which would
// extract deeper names into nothing.
constexpr char kCacheReaderMark[] = "included files kept (record IncludedFilesCache)";

// Whether `text` is a content hash: kContentHashDigits hexadecimal digits.
bool isContentHash(std::string_view text);

enum class CacheFolderKind { content, staging, retired, other };
// What an entry of an application folder is by its name: a content folder
// (a hash), a start's folder being written ("HASH.new-DIGITS"), one on its
// way out ("HASH.old-DIGITS"), or something that is not the launcher's.
CacheFolderKind cacheFolderKind(std::string_view name);
CacheFolderKind cacheFolderKind(std::wstring_view name);

// The application folder's name: `applicationName` (record ApplicationName),
// else the launcher's file name without ".exe"; what a folder name cannot
// hold becomes "_", and the result is never empty, a device or longer than
// kApplicationFolderMax characters.
std::string applicationFolderName(std::string_view applicationName, std::string_view launcherFileName);
std::wstring applicationFolderName(std::wstring_view applicationName, std::wstring_view launcherFileName);

// What a start wrote of one included file; size 0 for one it writes no file
// for (an empty one).
struct CachedFile {
    int64_t size = 0;
    uint64_t lastWrite = 0;  // 100 ns units since 1601, as the file system keeps it
};

// The index: "kvo-files 1", "hash HASH", "files N", one "SIZE TIME" line per
// included file in the order of IncludedFileNames, then "end"; every line
// ends with a line feed.
std::string formatCacheIndex(std::string_view hash, const std::vector<CachedFile>& files);
// The most bytes an index of `count` files can have; a longer file is none.
size_t cacheIndexLimit(size_t count);
// Reads an index written for `hash` with `count` files into `files`; null on
// success, else what is wrong (`files` is then empty).
const char* parseCacheIndex(std::string_view text, std::string_view hash, size_t count,
                            std::vector<CachedFile>& files);
