#include "tools/kvo-pack/Cli.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <map>
#include <new>
#include <optional>

#include "tools/kvo-pack/Block.h"
#include "tools/kvo-pack/Encoding.h"
#include "tools/kvo-pack/Pack.h"
#include "tools/kvo-pack/RecordNames.h"
#include "tools/kvo-pack/RuntimeJar.h"

namespace kvopack {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  kvo-pack build --stub LAUNCHER.exe --config APP.kvo --out APP.exe [--codepage CP]\n"
    "  kvo-pack build --overlay --config APP.kvo --out BLOCK.bin [--codepage CP]\n"
    "  kvo-pack dump [--codepage CP] [--extract-files DIR [--force]] [--out TEXT]\n"
    "                [--records-only] [--overlay] APP.exe\n"
    "  kvo-pack records [--markdown]\n"
    "  kvo-pack runtime-jar --out kvo-runtime.jar\n"
    "  kvo-pack --help\n";

constexpr const char* kHelp =
    "\n"
    "build   appends the configuration APP.kvo, and the files its [files] section\n"
    "        lists, and kvo-runtime.jar (the launcher's Java half, carried inside\n"
    "        kvo-pack), to the image of LAUNCHER.exe (anything already behind that image\n"
    "        is dropped, so a packed launcher can be packed again) and says which\n"
    "        launcher it wrote: the 32-bit stub (PE32 i386) uses 32-bit Java\n"
    "        runtimes only, the 64-bit stub (PE32+ x86-64) 64-bit ones only. With\n"
    "        --overlay it writes only what would be appended.\n"
    "dump    prints the configuration of a packed launcher as text that builds\n"
    "        back to the same bytes. --extract-files writes the included files\n"
    "        into DIR and names them in the [files] section; it replaces no\n"
    "        existing file unless --force is given, and never APP.exe itself.\n"
    "        --out writes the text to a file (paths in [files] are then relative\n"
    "        to its directory);\n"
    "        --records-only dumps the records of a launcher whose included data is\n"
    "        not laid out as build writes it; --overlay reads a bare overlay.\n"
    "records lists every record the launcher reads: number, name, type, what the\n"
    "        launcher does without it, and what it means, then every message with\n"
    "        its placeholders and built-in text; --markdown as tables.\n"
    "runtime-jar  writes kvo-runtime.jar, the very bytes build packs into every\n"
    "        launcher: compile your application against it (javac -cp\n"
    "        kvo-runtime.jar) to use its splash and single-instance classes, and\n"
    "        ship nothing more.\n"
    "\n"
    "build refuses a configuration the launcher could not use as written, naming\n"
    "file and line of every mistake in one run: unknown names, lines without '=',\n"
    "class-path and search entries without their type letters, a number or switch\n"
    "given words, a version bound that is no version or a lower bound above the\n"
    "upper, no MainClass, a record inside another section. It reads the\n"
    "configuration as UTF-8, or as UTF-16 with a byte-order mark.\n"
    "\n"
    "--out FILE      the file takes the new content only once it is complete, and\n"
    "                after a failure nothing has changed; a symbolic link stays as it\n"
    "                is and the file it names gets the content; a device or FIFO is\n"
    "                written into, never replaced (a write it refuses is an error);\n"
    "                - is standard output.\n"
    "\n"
    "--codepage CP   ANSI code page of the narrow records (default 1252): a Windows\n"
    "                code page by number (932, cp1251, windows-1250), or UTF-8,\n"
    "                US-ASCII, ISO-8859-n, KOI8-R, KOI8-U, SHIFT_JIS, GBK, UHC, BIG5\n"
    "                (the tables of 932, 936, 949, 950); the numbers Windows gives\n"
    "                UTF-8, US-ASCII, KOI8 and ISO-8859-n are taken too (65001,\n"
    "                20127, 20866, 21866, 28591 to 28605; also cp65001). A name\n"
    "                means the same table on every host; a character counts only\n"
    "                when its bytes read back as itself (with 932, write U+FF5E for\n"
    "                the wave dash, and the backslash's byte is never a yen sign).\n"
    "\n"
    "The configuration is UTF-8 text, one record a line:\n"
    "  # comment             only as the first thing on a line\n"
    "  Name = value          the rest of the line as it stands, blanks at its ends\n"
    "                        dropped; backslashes are ordinary characters\n"
    "  Name := value         the same with escapes \\n \\r \\t \\\\ \\xHH \\uHHHH; keep\n"
    "                        blanks at the ends as \\x20\n"
    "  1005 = value          records without a name are given by id\n"
    "  [wide]                UTF-16 message texts follow ([narrow] goes back)\n"
    "  [locale KEY]          message texts for users whose locale begins with KEY\n"
    "                        (de, de_CH); [locale] has the empty key. The launcher\n"
    "                        shows a message from these first, then the narrow\n"
    "                        record, then its built-in text; settings stay narrow\n"
    "  [files]               name-in-temp-dir = path (relative to the .kvo file);\n"
    "                        the packer writes IncludedFileCount and\n"
    "                        IncludedFileNames from it\n"
    "  [resources]           resources written into the launcher's image:\n"
    "    icon = app.ico            the application's icon (also the splash\n"
    "                              window's, unless splash-icon names another)\n"
    "    splash-icon = s.ico       the splash window's icon\n"
    "    splash-bitmap = s.bmp     the splash image (.bmp or .png); its size fills\n"
    "                              SplashImageWidth/Height when they are left out\n"
    "    splash-image = s.png      image data for the runtime's splash library\n"
    "                              (PNG, GIF or JPEG, stored as it is)\n"
    "    execution-level = asInvoker | highestAvailable | requireAdministrator\n"
    "    dpi-aware = false | true | per-monitor-v2\n"
    "  [version]             version information shown by Explorer:\n"
    "                        FileVersion = 1.2.3.4 (required), ProductVersion,\n"
    "                        CompanyName, FileDescription, ProductName,\n"
    "                        LegalCopyright, OriginalFilename, InternalName,\n"
    "                        Comments, LegalTrademarks, PrivateBuild,\n"
    "                        SpecialBuild, Translation = 0409 04b0 (default)\n"
    "  [kvo-runtime]         include = yes (default): the classes of kvo-runtime.jar\n"
    "                        are packed behind the included files, and the launcher\n"
    "                        defines them from its own file before the class path;\n"
    "                        include = no for a launcher class of your own\n"
    "\n"
    "A signature of the stub is not copied (it would not match); sign the packed\n"
    "launcher afterwards.\n"
    "\n"
    "Version bounds (MinJavaVersion, MaxJavaVersion), both inclusive, empty = none:\n"
    "  17, 21.0.10      a bound that does not begin with \"1.\" is compared number\n"
    "                   by number (feature.interim.update.patch); a runtime's\n"
    "                   1.8.0_402 counts as 8.0.402, build and pre-release parts\n"
    "                   (+7, -ea) are ignored; an upper bound covers every version\n"
    "                   that begins with it (17 accepts 17.0.10)\n"
    "  1.6, 1.8.0_402   a bound in the old form is compared byte by byte over its\n"
    "                   own length, as it always was (1.10 sorts below 1.6)\n"
    "  kvo-runtime.jar runs on Java 8 and later: with it packed, a lower bound\n"
    "  below 1.8 is taken as 1.8 (with a warning), and an upper bound below it is\n"
    "  refused\n"
    "\n"
    "Exit status: 0 done, 1 failed (nothing is written), 2 wrong command line.\n";

struct UsageError {
    std::string message;
};

struct Parsed {
    std::string command;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
    std::vector<std::string> positional;
    bool help = false;
};

Parsed parse(const std::vector<std::string>& args) {
    Parsed p;
    if (args.empty())
        throw UsageError{"no command given"};
    size_t i = 0;
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        p.help = true;
        return p;
    }
    p.command = args[i++];
    if (p.command != "build" && p.command != "dump" && p.command != "records" && p.command != "runtime-jar")
        throw UsageError{"unknown command '" + p.command + "'"};
    const std::map<std::string, std::string> withValue = {
        {"--stub", "build"},     {"--config", "build"},        {"--out", ""},
        {"-o", ""},              {"--codepage", ""},           {"--extract-files", "dump"}};
    const std::map<std::string, std::string> flags = {
        {"--overlay", ""}, {"--records-only", "dump"}, {"--force", "dump"}, {"--markdown", "records"}};
    for (; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            p.help = true;
            continue;
        }
        if (arg == "--") {
            p.positional.insert(p.positional.end(), args.begin() + ptrdiff_t(i) + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            p.positional.push_back(arg);
            continue;
        }
        if (p.command == "records" && arg != "--markdown")
            throw UsageError{"unknown option '" + arg + "' for records"};
        if (p.command == "runtime-jar" && arg != "--out" && arg != "-o" && !arg.starts_with("--out="))
            throw UsageError{"unknown option '" + arg + "' for runtime-jar"};
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        if (arg == "-o")
            arg = "--out";
        const auto option = withValue.find(arg);
        const auto flag = flags.find(arg);
        const std::string& only = option != withValue.end() ? option->second
                                  : flag != flags.end()     ? flag->second
                                                            : p.command;
        if ((option == withValue.end() && flag == flags.end()) ||
            (!only.empty() && only != p.command))
            throw UsageError{"unknown option '" + arg + "' for " + p.command};
        if (p.values.count(arg) || p.flags.count(arg))
            throw UsageError{arg + " is given twice"};
        if (flag != flags.end()) {
            if (inlineValue)
                throw UsageError{arg + " takes no value"};
            p.flags[arg] = true;
            continue;
        }
        if (!inlineValue && i + 1 == args.size())
            throw UsageError{arg + " needs a value"};
        std::string value = inlineValue ? *inlineValue : args[++i];
        if (value.empty())
            throw UsageError{arg + " needs a value"};
        p.values[arg] = value;
    }
    return p;
}

int runBuild(const Parsed& p, std::ostream& out, std::ostream& err) {
    BuildOptions o;
    const bool overlay = p.flags.count("--overlay") > 0;
    if (!p.positional.empty())
        throw UsageError{"build takes no file name without an option ('" + p.positional[0] + "')"};
    if (!p.values.count("--config") || !p.values.count("--out"))
        throw UsageError{"build needs --config and --out"};
    if (overlay == (p.values.count("--stub") > 0))
        throw UsageError{"build needs either --stub or --overlay"};
    if (p.values.count("--stub"))
        o.stub = p.values.at("--stub");
    o.config = p.values.at("--config");
    o.out = p.values.at("--out");
    if (p.values.count("--codepage"))
        o.codePage = p.values.at("--codepage");
    std::vector<std::string> warnings;
    try {
        warnings = buildPackage(o);
    } catch (const std::bad_alloc&) {
        // Every input is bounded; this is a machine short of memory.
        throw PackError("not enough memory to build " + o.out + " from " +
                        (o.stub ? *o.stub + " and " : std::string()) + o.config + "; nothing was written");
    }
    for (const std::string& w : warnings)
        err << w << "\n";
    // A vendor ships both widths; which one this file became is worth a line
    // (the stub's kind: the output may be a pipe that cannot be read back).
    // Not into the launcher's own bytes when they go to standard output.
    std::ostream& said = o.out == "-" ? err : out;
    const std::string where = o.out == "-" ? "standard output" : o.out;
    if (o.stub) {
        FileSource stub(*o.stub);
        said << "kvo-pack: wrote " << where << ", a " << imageKind(stub) << " launcher\n";
    } else {
        said << "kvo-pack: wrote " << where << ", a block without a launcher image\n";
    }
    return 0;
}

int runDump(const Parsed& p, std::ostream& out, std::ostream& err) {
    if (p.positional.size() != 1)
        throw UsageError{"dump takes one file"};
    DumpOptions o;
    o.input = p.positional[0];
    o.overlay = p.flags.count("--overlay") > 0;
    o.recordsOnly = p.flags.count("--records-only") > 0;
    if (p.values.count("--codepage"))
        o.codePage = p.values.at("--codepage");
    if (p.values.count("--extract-files"))
        o.extractDir = p.values.at("--extract-files");
    o.force = p.flags.count("--force") > 0;
    if (o.force && !o.extractDir)
        throw UsageError{"--force goes with --extract-files"};
    if (p.values.count("--out") && p.values.at("--out") != "-")
        o.textPath = p.values.at("--out");
    // Created first: an output that cannot be created fails the run before
    // any extracted file is written.
    std::unique_ptr<AtomicFile> file;
    if (o.textPath)
        file = std::make_unique<AtomicFile>(*o.textPath, defaultFileMode(), AtomicFile::namedByUser);
    const auto writeText = [&](const std::string& text) {
        if (file) {
            file->write(text);
            file->commit();
            return;
        }
        errno = 0;
        out << text;
        out.flush();
        if (!out)
            throw PackError(errno ? "cannot write the dump: " + std::string(std::strerror(errno))
                                  : "cannot write the dump");
    };
    DumpResult result;
    try {
        result = dumpPackage(o, writeText);
    } catch (const std::bad_alloc&) {
        throw PackError("not enough memory to dump " + o.input);
    }
    for (const std::string& w : result.warnings)
        err << w << "\n";
    return 0;
}

int runRecords(const Parsed& p, std::ostream& out) {
    if (!p.positional.empty())
        throw UsageError{"records takes no file ('" + p.positional[0] + "')"};
    out << formatRecordList(p.flags.count("--markdown") > 0);
    return 0;
}

int runRuntimeJar(const Parsed& p, std::ostream& out) {
    if (!p.positional.empty())
        throw UsageError{"runtime-jar takes no file name without --out ('" + p.positional[0] + "')"};
    if (!p.values.count("--out"))
        throw UsageError{"runtime-jar needs --out"};
    const std::string path = p.values.at("--out");
    AtomicFile file(path, defaultFileMode());
    file.write(runtimeJar().data(), runtimeJar().size());
    file.commit();
    out << "kvo-pack: wrote " << path << ", " << runtimeJar().size() << " bytes, the " << kRuntimeJarName
        << " this kvo-pack packs into every launcher\n";
    return 0;
}

// One "kvo-pack: " per line, so that every finding reads on its own.
void printError(std::ostream& err, const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        err << "kvo-pack: " << text.substr(start, end - start) << "\n";
        start = end + 1;
    }
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        const Parsed p = parse(args);
        if (p.help) {
            out << kUsage << kHelp;
            return 0;
        }
        if (p.command == "records")
            return runRecords(p, out);
        if (p.command == "runtime-jar")
            return runRuntimeJar(p, out);
        return p.command == "build" ? runBuild(p, out, err) : runDump(p, out, err);
    } catch (const UsageError& e) {
        err << "kvo-pack: " << e.message << "\n" << kUsage;
        return 2;
    } catch (const PackError& e) {
        printError(err, e.what());
        return 1;
    } catch (const std::exception& e) {
        err << "kvo-pack: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace kvopack
