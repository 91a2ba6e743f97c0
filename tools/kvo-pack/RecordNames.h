// The records the launcher reads: their names in configuration texts, how
// their values are read, and what they mean. One table serves the parser,
// the checks before packing and `kvo-pack records`, so they cannot disagree.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvopack {

// How the launcher reads a record's value, as far as a mistake in it can be
// named before the launcher exists.
enum class ValueKind {
    text,
    number,          // a decimal number; text in front of the digits reads as 0
    flag,            // a number, 0 off and anything else on
    colour,          // red,green,blue
    version,         // a Java version bound
    classPath,       // class-path entries: type letter, mandatory flag, path
    searchSequence,  // runtime search entries: type letter and text
    className,       // a dotted Java class name
    vmOptions,       // VM options, split like a command line
    webAddress,      // an http:// or https:// address
};

struct RecordName {
    std::string_view name;
    int32_t id;
    ValueKind kind;
    // Longest value the launcher's buffer for this record holds, in bytes.
    size_t maxBytes;
    // What the launcher does when the record is absent or empty.
    std::string_view absent;
    std::string_view meaning;
    // A line in the right form, for error messages.
    std::string_view example;
};

std::span<const RecordName> recordNames();
const RecordName* findRecordByName(std::string_view name);
const RecordName* findRecordById(int32_t id);

// The candidate nearest to `name` by edit distance (letter case ignored, a
// swap of two neighbours counting as one edit), or "" when none is close
// enough to be the one meant.
std::string_view nearestName(std::string_view name, const std::vector<std::string_view>& candidates);
const std::vector<std::string_view>& recordNameList();

// Ids of the message records (1000 to 1021), which the launcher reads in
// every section: narrow, [wide] and [locale].
constexpr bool isMessageId(int32_t id) { return id >= 1000 && id <= 1021; }

// The message records the launcher shows, by id; the configuration gives
// them by number.
struct MessageRecord {
    int32_t id;
    std::string_view placeholders;  // what {0}, {1}, {2} stand for
    std::string_view shownWhen;
};
std::span<const MessageRecord> messageRecords();

// "text", "number", "switch 0/1", ... as `kvo-pack records` prints it.
std::string_view kindName(ValueKind kind);

// The reference `kvo-pack records` prints: aligned columns, or a Markdown
// table (the form the vendor guide carries).
std::string formatRecordList(bool markdown);

}  // namespace kvopack
