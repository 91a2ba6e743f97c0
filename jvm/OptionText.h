// Text rules of VM options, options files and class-path entries.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

enum class OptionLineKind { option, includeOptions, classPathReplace, classPathPrepend, classPathAppend };

struct OptionLine {
    OptionLineKind kind;
    std::string_view rest;  // behind the directive's prefix; the whole text for an option
};

// The prefixes carry their trailing space: "-classpath" alone is an option.
OptionLine classifyOptionLine(std::string_view text);

// Drops trailing CR/LF, then leading and trailing spaces (not tabs). Returns
// false for a line to skip: empty, or a comment starting with "#".
bool trimOptionLine(std::string& line);

// The lines of an options file, read to its end: each at most 8191 bytes (a
// longer line arrives in pieces, each taken as a line), trimmed, and handed
// to `take` unless it is to be skipped. The file stays open.
void readOptionLines(std::FILE* file, const std::function<void(std::string& line)>& take);

struct ClassPathEntry {
    char type = '\0';
    bool mandatory = false;
    std::string text;
};

// "A1.\lib\x.jar" -> type A, mandatory, text ".\lib\x.jar". An entry shorter
// than two characters has an empty text.
ClassPathEntry parseClassPathEntry(std::string_view entry);

// A variable's value as a class-path piece: enclosing double quotes dropped,
// ";" added unless it ends with one already.
std::string classPathValueOfVariable(std::string_view value);

// The class path option under construction, bounded by its buffer size.
// A piece that does not fit is refused whole, never cut inside a path.
class ClassPathText {
public:
    static constexpr size_t kCapacity = 40960;  // terminator included
    ClassPathText();
    bool append(std::string_view piece);
    bool endsWith(char c) const { return !text_.empty() && text_.back() == c; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
