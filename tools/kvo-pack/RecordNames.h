// The names by which configuration texts refer to records.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kvopack {

// How the launcher reads a record; used only to warn about values that the
// launcher would read differently from what the author evidently meant.
enum class ValueKind { text, number, flag, colour };

struct RecordName {
    std::string_view name;
    int32_t id;
    ValueKind kind;
    // Longest value the launcher's buffer for this record holds, in bytes.
    size_t maxBytes;
};

std::span<const RecordName> recordNames();
const RecordName* findRecordByName(std::string_view name);
const RecordName* findRecordById(int32_t id);
// A name that differs only in letter case, for a friendlier error.
const RecordName* findRecordByNameIgnoringCase(std::string_view name);

}  // namespace kvopack
