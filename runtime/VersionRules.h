// Version texts of Java runtimes and the rules that accept or reject them.
// All comparisons are byte-wise on the text, never numeric: "1.10" sorts
// below "1.6", and that is what configured bounds have always meant.
#pragma once

#include <string>
#include <string_view>

enum class VersionVerdict { Accepted, Beta, BelowLower, AboveUpper };

// "beta", "ea" or "rc" anywhere in the text (case-sensitive).
bool isBetaVersion(std::string_view version);

// The first length(bound) bytes of `version` against `bound`, as unsigned
// bytes; a version that ends early counts as smaller. <0, 0 or >0.
int compareVersionPrefix(std::string_view version, std::string_view bound);

// Beta rule first, then the inclusive bounds; an empty bound is no bound.
VersionVerdict judgeVersion(std::string_view version, std::string_view lower,
                            std::string_view upper, bool betaAllowed);

// The looser rule for registry key names: each bound is compared over the
// shorter of the two lengths, so "1.6" lies within a lower bound "1.6.0_10".
bool isVersionInRange(std::string_view text, std::string_view lower, std::string_view upper);

// Whole texts, byte-wise; a text that is a prefix of another sorts first.
int compareVersionText(std::string_view a, std::string_view b);

// The version in the first line of a "-version" run: the text between the
// quotes behind "java version " or "openjdk version ". Releases since 9
// print more behind the closing quote (a date, "LTS"), which is not part of
// the version. Without a closing quote, the rest of the line without its
// line end. False for a line of any other form or an empty version.
bool parseVersionLine(std::string_view line, std::string& version);
