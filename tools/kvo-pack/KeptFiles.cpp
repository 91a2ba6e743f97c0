#include "tools/kvo-pack/KeptFiles.h"

#include <algorithm>

#include "core/AsciiCase.h"
#include "core/ConfigStore.h"
#include "services/CacheFolder.h"

namespace kvopack {

bool keepsIncludedFiles(const std::vector<NarrowRecord>& narrow) {
    bool keeps = false;
    for (const NarrowRecord& r : narrow)
        if (r.id == rec::IncludedFilesCache)
            keeps = parseConfigInt(r.value) != 0;
    return keeps;
}

std::vector<std::string_view> folderPrefixes(std::string_view name) {
    std::vector<std::string_view> folders;
    for (size_t slash = name.find('\\'); slash != std::string_view::npos; slash = name.find('\\', slash + 1))
        folders.push_back(name.substr(0, slash));
    return folders;
}

std::vector<std::pair<int, std::string>> keptFilesProblems(const PackConfig& config) {
    std::vector<std::pair<int, std::string>> problems;
    for (const NarrowRecord& r : config.records.narrow)
        if (r.id == rec::IncludedFilesHash)
            problems.emplace_back(r.line, "IncludedFilesHash is written by the packer (the hash of the included "
                                          "files); remove this line");
    const bool keeps = keepsIncludedFiles(config.records.narrow);
    for (const IncludedFile& f : config.files) {
        if (!keeps && folderPrefixes(f.name).size() > 1)
            problems.emplace_back(f.line, "included file name '" + f.name + "' lies more than one folder deep, which "
                                          "only a launcher that keeps its files makes; add IncludedFilesCache = 1 "
                                          "or use one folder");
        if (keeps && equalsIgnoringAsciiCase(std::string_view(f.name), kCacheIndexName))
            problems.emplace_back(f.line, "included file name '" + f.name + "' is where the launcher keeps the "
                                          "index of its files; give this file another name");
    }
    return problems;
}

void setIncludedFilesHashRecord(std::vector<NarrowRecord>& narrow, const std::string& value) {
    std::erase_if(narrow, [](const NarrowRecord& r) { return r.id == rec::IncludedFilesHash; });
    const auto at = std::find_if(narrow.begin(), narrow.end(),
                                 [](const NarrowRecord& r) { return r.id > rec::IncludedFilesHash; });
    narrow.insert(at, NarrowRecord{rec::IncludedFilesHash, value});
}

}  // namespace kvopack
