#include "tools/kvo-pack/package/JavaHalf.h"

#include <algorithm>

#include "core/ConfigStore.h"
#include "services/RuntimeClasses.h"
#include "tools/kvo-pack/config/RecordNames.h"
#include "tools/kvo-pack/package/Block.h"

namespace kvopack {

bool readsRuntimeClasses(const std::string& image) {
    return image.find(kRuntimeClassesReaderMark) != std::string::npos;
}

bool isRuntimeJarName(std::string_view name) {
    if (name.size() != kRuntimeJarName.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? char(name[i] - 'A' + 'a') : name[i];
        if (c != kRuntimeJarName[i])
            return false;
    }
    return true;
}

void setIncludedRecords(PackConfig& config, std::vector<std::string> names, JavaHalfForm form,
                        int64_t filesBytes, size_t classesBytes) {
    if (form == JavaHalfForm::jarFile)
        names.emplace_back(kRuntimeJarName);
    if (config.hasFilesSection || form == JavaHalfForm::jarFile) {
        std::erase_if(config.records.narrow, [](const NarrowRecord& r) {
            return r.id == rec::IncludedFileCount || r.id == rec::IncludedFileNames;
        });
        addIncludedRecords(config.records.narrow, names);
    }
    if (form == JavaHalfForm::classes)
        setRuntimeClassesRecord(config.records.narrow,
                                formatRuntimeClassesPlace({uint32_t(filesBytes), uint32_t(classesBytes)}));
}

}  // namespace kvopack
