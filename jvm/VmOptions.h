// The complete, ordered list of options the JVM is created with.
#pragma once

#include <cstdio>
#include <deque>
#include <string>

#include "core/CommandLine.h"

// Texts keep their addresses for the life of the process: the JVM is handed
// pointers to them.
using OptionList = std::deque<std::string>;

// System properties, VmOptions, -J arguments, locale options, the default
// options file, and the class path last.
const OptionList& assembleVmOptions(const OptionList& systemProperties, const WideArgs& arguments);
// `baseFile` is the file the text came from (nullptr: the launcher's directory).
void applyOptionLine(const char* baseFile, const std::string& text);
// Reads `file` to its end and closes it; nothing for a null file.
void readOptionsFile(const char* baseFile, FILE* file);

// Include depth at which a chain of options files is cut off (a file that
// includes itself would otherwise recurse without end).
constexpr int kMaxIncludeDepth = 32;
