// What the JVM stage takes from the launcher's surroundings: the records as
// the machine reads them, the environment, the file system and the code
// pages. The stage itself (JavaVMLauncher, VmOptions, MainThread,
// ApplicationThreads) includes no Windows header, so the very code the
// launcher runs can also be run natively against the VMs users have; these
// functions are its ties to the platform.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/CommandLine.h"
#include "jvm/VmOptions.h"

// The launcher's own -D options, in their fixed order.
OptionList buildSystemProperties();
// The array handed to the launcher class's main (LauncherArgs.h), built
// from the records on the two conversions below (LauncherValues.cpp).
WideArgs launcherArgumentsFor(const WideArgs& arguments);
// A record's text as UTF-16.
std::u16string recordTextWide(const std::string& text);
// An output file's name made absolute against the launcher's directory, as
// UTF-16.
std::u16string outputFileWide(const std::string& file);
// Whether the installation's first-run marker file exists.
bool firstRunMarkerPresent();
// An argument of main as a log line shows it.
std::string argumentForLog(const std::u16string& argument);
// A Java text (an exception's) as a dialog and the log show it.
std::string javaTextForDisplay(std::u16string_view text);
// Writes what the VM printed to `stream` (the VM's standard output or
// error, of its own C runtime) where that stream leads.
void writeVmText(FILE* stream, const char* text, size_t length);
// The pack of the Java half's classes as the launcher file carries it
// (services/RuntimeClasses.h), unchecked; empty when it carries none. False
// with `problem` when the record names no place or the file ends before it.
bool readJavaHalfPack(std::string& pack, std::string& problem);
// The options the VM reads from the environment by itself (JAVA_TOOL_OPTIONS
// and _JAVA_OPTIONS), one after the other; empty when neither is set.
std::string vmOptionsFromEnvironment();
// The options file named after the launcher, open for reading; null when
// there is none.
FILE* openDefaultOptionsFile();
// What the launcher remembers of its check that main(String[]) of a class
// is public static (services/MainCheckMemory.h): the text the check is
// remembered under for this start's options and files (empty: nothing is
// remembered for them), whether an earlier start remembered it, and
// remembering it.
std::string mainCheckKey(const std::string& slashedMainClass, const OptionList& vmOptions);
bool mainCheckedBefore(const std::string& key);
void rememberMainChecked(const std::string& key);
