// Text rules of VM options, options files and class-path entries.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
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

// Reads an options file to its end as the launcher does: in pieces of at
// most 8191 bytes up to a line end (a longer line arrives as several lines),
// a UTF-8 byte-order mark dropped from the first (`byteOrderMark` is told),
// each piece trimmed and handed to `take` unless it is to be skipped. The
// file stays open.
void readOptionLines(std::FILE* file, const std::function<void()>& byteOrderMark,
                     const std::function<void(std::string& line)>& take);

// The java command reads the module options ("--add-opens", "-p", ...)
// with their value as the next word, the VM only in one word joined by "="
// and drops the two words without a trace. For such an option written alone
// (no "="): the name the VM reads ("-p" is "--module-path"); empty for every
// other text.
std::string_view separateValueOption(std::string_view text);
// `option` (one separateValueOption knows) and its value in one word.
std::string joinedOption(std::string_view option, std::string_view value);

// The texts the words of one source of options become (the VmOptions
// record's words, the -J arguments): a module option with the word after it
// as one option, and, when `joinIncludes`, "-include-options" with the path
// after it as one directive. The word "-include-options" is never taken as a
// value. A last word without its value stays as written.
std::vector<std::string> joinOptionWords(const std::vector<std::string>& words, bool joinIncludes);
// An options-file line "--add-opens VALUE" (the two words of the java
// command on one line) as "--add-opens=VALUE"; every other line as it is.
std::string joinOptionLine(std::string_view line);

// Options-file lines as the VM is to read them: each line is one word, so a
// module option alone on its line takes the next option line as its value;
// a directive line is never a value. Lines are taken trimmed and expanded.
class OptionFileLines {
public:
    // The texts to apply for `line`: none while an option waits for its
    // value, else the joined option, or the waiting option as written and
    // then `line`.
    std::vector<std::string> take(std::string_view line);
    // At the end of the file: the option still waiting, as written.
    std::vector<std::string> finish();

private:
    std::string waiting_;
};

// What to write instead of an option only the java command reads, which the
// VM therefore ignores without a word ("-jar", "-cp", "@file", ...); null
// for every other option. The option may be followed by its value in the
// same text, as an options-file line has it.
const char* javaCommandOnlyAdvice(std::string_view option);

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
