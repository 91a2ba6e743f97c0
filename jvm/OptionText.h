// Text rules of VM options, options files and class-path entries.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

struct ClassPathEntry {
    char type = '\0';
    bool mandatory = false;
    std::string text;
};

// A UTF-8 byte-order mark, which Notepad writes in front of a file, taken
// off the file's first line; true when there was one.
bool dropUtf8ByteOrderMark(std::string& firstLine);

// "A1.\lib\x.jar" -> type A, mandatory, text ".\lib\x.jar". An entry shorter
// than two characters has an empty text.
ClassPathEntry parseClassPathEntry(std::string_view entry);

// The folder an A entry's path stands for when its last part is "*" or
// "*.jar" (letters in any case), as in "lib\*": every archive in it. "." for
// a bare "*"; nullopt for any other path.
std::optional<std::string> classPathWildcardFolder(std::string_view path);

// Of the names in a folder, those a wildcard takes: ending in ".jar" (any
// letter case), in name order with letters compared without case.
std::vector<std::string> wildcardArchives(std::vector<std::string> names);

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
