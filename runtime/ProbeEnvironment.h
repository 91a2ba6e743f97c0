// The environment of the "-version" probe. A runtime prints a "Picked up
// ..." notice before its version line for each of the option variables
// below that is set; without them in the child's environment the version
// line comes first again. Only the probe loses them: the launcher's own
// environment, and so the JVM it creates, keeps them.
#pragma once

#include <string>
#include <string_view>

// The names compared without regard to ASCII case, as Windows compares
// environment names.
constexpr std::u16string_view kProbeHiddenVariables[] = {u"JAVA_TOOL_OPTIONS", u"_JAVA_OPTIONS",
                                                         u"JDK_JAVA_OPTIONS"};

// A copy of an environment block ("NAME=value" entries, each ended by a
// zero, the block by one more) without the entries of kProbeHiddenVariables.
// The copy always ends in two zeros, also when nothing is left.
std::u16string probeEnvironmentBlock(const char16_t* block);
