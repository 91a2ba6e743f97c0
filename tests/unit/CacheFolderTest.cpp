// The folder names and the index of the included files a launcher keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/CacheFolder.h"

namespace {

constexpr const char* kHash = "0123456789abcdef";

TEST(CacheFolder, EntriesAreTheLaunchersOnlyByTheirExactForm) {
    const std::pair<const char*, CacheFolderKind> rows[] = {
        {"0123456789abcdef", CacheFolderKind::content},
        {"0123456789ABCDEF", CacheFolderKind::content},
        {"0123456789abcdef.new-12-3", CacheFolderKind::staging},
        {"0123456789abcdef.NEW-12", CacheFolderKind::staging},
        {"0123456789abcdef.old-4-99", CacheFolderKind::retired},
        // Anything else in the folder is not the launcher's to remove.
        {"0123456789abcde", CacheFolderKind::other},
        {"0123456789abcdefa", CacheFolderKind::other},
        {"0123456789abcdeg", CacheFolderKind::other},
        {"0123456789abcdef.new-", CacheFolderKind::other},
        {"0123456789abcdef.new--1", CacheFolderKind::other},
        {"0123456789abcdef.new-1x", CacheFolderKind::other},
        {"0123456789abcdef.tmp-1", CacheFolderKind::other},
        {"0123456789abcdef.old-1\\x", CacheFolderKind::other},
        {"0123456789abcdef.old-11111111111111111111111111111111111111111", CacheFolderKind::other},
        {"user-data", CacheFolderKind::other},
        {"", CacheFolderKind::other},
    };
    for (const auto& [name, kind] : rows) {
        EXPECT_EQ(cacheFolderKind(std::string_view(name)), kind) << name;
        const std::string narrow(name);
        EXPECT_EQ(cacheFolderKind(std::wstring_view(std::wstring(narrow.begin(), narrow.end()))), kind) << name;
    }
    EXPECT_TRUE(isContentHash(kHash));
    EXPECT_FALSE(isContentHash("0123456789abcdef "));
    EXPECT_FALSE(isContentHash(""));
}

TEST(CacheFolder, ApplicationFolderNamesAreSafeFolderNames) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"Acme Viewer", "viewer.exe", "Acme Viewer"},
        {"  Acme  ", "viewer.exe", "Acme"},
        {"", "AcmeViewer.EXE", "AcmeViewer"},
        {"", "tool", "tool"},
        {"", ".exe", ".exe"},
        {"a/b\\c:d*e?f\"g<h>i|j", "x.exe", "a_b_c_d_e_f_g_h_i_j"},
        {"tab\there\x01", "x.exe", "tab_here_"},
        {"Version 2.", "x.exe", "Version 2"},
        {"..", "x.exe", "application"},
        {"", "...exe", "application"},
        {"CON", "x.exe", "_CON"},
        {"nul.app", "x.exe", "_nul.app"},
        {"", "com1.exe", "_com1"},
    };
    for (const auto& [app, file, want] : rows)
        EXPECT_EQ(applicationFolderName(app, file), want) << app << " / " << file;
    const std::string longName(200, 'x');
    EXPECT_EQ(applicationFolderName(longName, "x.exe"), std::string(kApplicationFolderMax, 'x'));
    // Cut where a blank falls, the blank goes too.
    EXPECT_EQ(applicationFolderName(std::string(kApplicationFolderMax - 1, 'y') + " z", "x.exe"),
              std::string(kApplicationFolderMax - 1, 'y'));
    std::wstring wide(kApplicationFolderMax - 1, L'w');
    wide += std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)};
    const std::wstring cut = applicationFolderName(wide, L"x.exe");
    EXPECT_TRUE(cut.size() <= kApplicationFolderMax && (cut.back() < 0xD800 || cut.back() > 0xDBFF));
    EXPECT_EQ(applicationFolderName(std::wstring_view(L"\u8868\u80fd"), L"x.exe"), L"\u8868\u80fd");
}

TEST(CacheFolder, IndexReadsBackWhatWasWritten) {
    const std::vector<CachedFile> files = {{7, 133500000000000001ull}, {0, 0}, {INT64_MAX, UINT64_MAX}};
    const std::string text = formatCacheIndex(kHash, files);
    EXPECT_LE(text.size(), cacheIndexLimit(files.size()));
    std::vector<CachedFile> back;
    ASSERT_EQ(parseCacheIndex(text, kHash, files.size(), back), nullptr);
    ASSERT_EQ(back.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(back[i].size == files[i].size && back[i].lastWrite == files[i].lastWrite) << i;
    EXPECT_EQ(parseCacheIndex(formatCacheIndex(kHash, {}), kHash, 0, back), nullptr);
    EXPECT_TRUE(back.empty());
}

TEST(CacheFolder, IndexThatIsNotExactlyOneIsRefused) {
    const std::string good = formatCacheIndex(kHash, {{7, 12}, {9, 34}});
    const std::string cases[] = {
        "",
        good.substr(0, good.size() - 1),                                   // cut before the last line feed
        good.substr(0, good.size() - 4),                                   // no end line
        good + "x",                                                        // something behind the end
        "kvo-files 2" + good.substr(11),                                   // another format
        formatCacheIndex("fedcba9876543210", {{7, 12}, {9, 34}}),          // another content
        formatCacheIndex(kHash, {{7, 12}}),                                // fewer files
        formatCacheIndex(kHash, {{7, 12}, {9, 34}, {1, 1}}),               // more files
        "kvo-files 1\nhash 0123456789abcdef\nfiles 2\n7 12\n9\nend\n",     // no time
        "kvo-files 1\nhash 0123456789abcdef\nfiles 2\n7 12\n-9 34\nend\n", // negative size
        "kvo-files 1\nhash 0123456789abcdef\nfiles 2\n7 12\n9 +34\nend\n",
        "kvo-files 1\nhash 0123456789abcdef\nfiles 2\n7 12\n9 34 \nend\n",
        "kvo-files 1\nhash 0123456789abcdef\nfiles 2\n7 12\n9223372036854775808 34\nend\n",  // past int64
        "kvo-files 1\nhash 0123456789abcdef\nfiles 2\n7 12\n9 18446744073709551616\nend\n",  // past uint64
        good + std::string(200, '\n'),                                    // longer than its files need
        "kvo-files 1\r\nhash 0123456789abcdef\nfiles 2\n7 12\n9 34\nend\n",
    };
    for (const std::string& text : cases) {
        std::vector<CachedFile> files{{1, 1}};
        EXPECT_NE(parseCacheIndex(text, kHash, 2, files), nullptr) << text;
        EXPECT_TRUE(files.empty()) << text;
    }
}

}  // namespace
