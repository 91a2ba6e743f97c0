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

// How an options file is written, as its first bytes tell: a byte-order
// mark of UTF-8 (Notepad's habit) or of UTF-16 (Notepad's "Unicode",
// PowerShell 5's ">"); without one, in the ANSI code page.
enum class OptionFileForm { ansi, utf8Mark, utf16le, utf16be };

// The lines of an options file as the launcher reads it, from its bytes in
// pieces of any size. A line comes in pieces of at most 8191 bytes (UTF-16:
// units, a surrogate pair kept whole); each piece is trimmed and handed on
// unless it is to be skipped. A NUL ends a piece's text, as it ends a C
// string. A file in the ANSI code page (or UTF-8 with its mark) ends at a
// Ctrl-Z byte, as the C runtime's text mode reads it; a UTF-16 file is read
// as UTF-16, without its mark, each piece made narrow by `narrow` (the code
// page's rule, which the launcher applies to every wide text).
class OptionFileDecoder {
public:
    struct Events {
        // Told once, for a file with a byte-order mark.
        std::function<void(OptionFileForm)> marked;
        std::function<std::string(std::u16string_view piece, int line)> narrow;
        // A line to apply, and the number of the line it stands on (from 1).
        std::function<void(std::string& line, int number)> take;
    };
    // The launcher's line buffer holds 8191 bytes and its terminator.
    static constexpr size_t kLinePiece = 8191;
    // `piece`: the longest piece of a line (at least 2, so a pair fits).
    explicit OptionFileDecoder(Events events, size_t piece = kLinePiece);
    void feed(std::string_view bytes);
    // The end of the file: what is left of its last line.
    void finish();
    OptionFileForm form() const { return form_; }

private:
    void decide(bool atEnd);
    void feedNarrow(std::string_view bytes);
    void feedWide(std::string_view bytes);
    void handWide(bool endsLine);
    void hand(std::string& text, bool endsLine);

    Events events_;
    size_t pieceSize_;
    bool decided_ = false;
    bool ended_ = false;
    OptionFileForm form_ = OptionFileForm::ansi;
    std::string start_;  // the first bytes, until they tell the form
    std::string piece_;
    std::u16string widePiece_;
    int oddByte_ = -1;   // the first byte of a UTF-16 unit still to come
    int line_ = 1;
};

// Reads an options file to its end with OptionFileDecoder. The file, open
// in binary mode, stays open.
void readOptionLines(std::FILE* file, const OptionFileDecoder::Events& events);

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

// "A1.\lib\x.jar" -> type A, mandatory, text ".\lib\x.jar". An entry shorter
// than two characters has an empty text.
ClassPathEntry parseClassPathEntry(std::string_view entry);

// The folder an A entry's path stands for when its last part is "*" or
// "*.jar" (letters in any case), as in "lib\*": every archive in it. "." for
// a bare "*"; nullopt for any other path.
std::optional<std::string> classPathWildcardFolder(std::string_view path);

// An entry of a folder as the system lists it, in UTF-16.
struct FolderEntry {
    std::u16string name;
    std::u16string shortName;  // the 8.3 name, where the volume keeps one
    bool directory = false;
};

// What an A entry's expansion needs of the machine.
struct ArchiveSystem {
    std::function<std::string(const std::string& path)> absolute;  // against the launcher's folder
    std::function<bool(const std::string& path)> exists;
    std::function<std::vector<FolderEntry>(const std::string& folder)> list;
    // A name in the ANSI code page; nothing when a letter has no form there.
    std::function<std::optional<std::string>(std::u16string_view name)> narrow;
    std::function<void(const std::string& line)> log;
};

struct ArchiveEntry {
    std::vector<std::string> paths;  // for the class path, in order
    bool found = true;               // what a mandatory entry needs
};

// An A entry's text with a wildcard among its ";" pieces. A plain piece is
// its absolute path, found when it exists. "folder\*" (or "*.jar") is every
// archive of the folder, as java expands "lib/*": the files ending in ".jar"
// (any letter case) in name order, letters compared without case, each
// named in the code page, by its short name when its own has letters the
// code page lacks; one without a short name is left out, and logged. Such a
// piece is found when an archive remains.
ArchiveEntry expandArchiveEntry(std::string_view text, const ArchiveSystem& system);
// `name` for a log line: the letters past ASCII as \uXXXX.
std::string escapedName(std::u16string_view name);

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
