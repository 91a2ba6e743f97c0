// Text the VM prints, taken in the pieces it prints it: whole lines for the
// log, and its end kept for a message. Bounded whatever the VM prints.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class VmText {
public:
    // Bytes kept of the end, and the longest line held back for its end;
    // a longer one is handed out in pieces of this size.
    static constexpr size_t kKept = 4096;
    static constexpr size_t kLineLimit = 4096;

    // Adds `text`; returns the lines it completes, without their line ends
    // (a carriage return before the line feed dropped too).
    std::vector<std::string> add(std::string_view text);
    // The line begun and not ended, taken out; empty when there is none.
    std::string takeBegun();
    // The end of all that was added, at most `limit` bytes: from the start
    // of a line when one lies within them, blank lines and the blanks
    // around cut off.
    std::string lastWords(size_t limit) const;

private:
    std::string begun_;
    std::string kept_;
};
