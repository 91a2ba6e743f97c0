// Version texts of Java runtimes and the rules that accept or reject them.
// A bound in the legacy form ("1.6", "1.8.0_402") is compared byte-wise on
// the text, never numerically: "1.10" sorts below "1.6", and that is what
// such bounds have always meant. A bound in today's form ("8", "17.0.2") is
// compared number by number, since "21.0.10" would otherwise sort below
// "21.0.2" and "11" below "9.0.4".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class VersionVerdict { Accepted, Beta, BelowLower, AboveUpper };

// "beta", "ea" or "rc" anywhere in the text (case-sensitive).
bool isBetaVersion(std::string_view version);

// The first length(bound) bytes of `version` against `bound`, as unsigned
// bytes; a version that ends early counts as smaller. <0, 0 or >0.
int compareVersionPrefix(std::string_view version, std::string_view bound);

// The numbers of a version as Java's version scheme counts them (feature,
// interim, update, patch, ...). A legacy "1.N.0_U" counts as N.0.U, so 8u402
// is comparable with 17.0.10. Reading stops at the first character that
// continues no number ("+13", "-ea", " LTS"): build and pre-release parts do
// not take part in comparisons.
struct VersionNumbers {
    static constexpr int kMax = 8;
    uint32_t part[kMax] = {};
    int count = 0;  // 0: the text does not begin with a number
};
VersionNumbers parseVersionNumbers(std::string_view version);

// True for a bound that takes the numeric rule: it begins with a digit but
// not with "1.". Everything else, the empty bound included, keeps the
// byte-wise rule.
bool isNumericBound(std::string_view bound);

// `version` against a numeric bound over the bound's own count of numbers
// (missing numbers of the version count as 0), so an upper bound "17"
// covers every 17.x. <0, 0 or >0; a version without numbers is below every
// bound.
int compareVersionToNumericBound(std::string_view version, std::string_view bound);

// Beta rule first, then the inclusive bounds; an empty bound is no bound.
VersionVerdict judgeVersion(std::string_view version, std::string_view lower,
                            std::string_view upper, bool betaAllowed);

// The looser rule for registry key names: each bound is compared over the
// shorter of the two lengths (texts for legacy bounds, counts of numbers for
// numeric ones), so "1.6" lies within a lower bound "1.6.0_10" and "17"
// within "17.0.2".
bool isVersionInRange(std::string_view text, std::string_view lower, std::string_view upper);

// Whole texts, byte-wise; a text that is a prefix of another sorts first.
int compareVersionText(std::string_view a, std::string_view b);

// The order in which registry candidates are ranked: by their numbers
// (21.0.10 above 21.0.9, 1.8.0_402 above 1.8.0_92, missing numbers 0); of
// equal numbers the one with fewer sorts first, then the texts byte-wise,
// so that the order is total and equal texts compare equal.
int compareVersionNumbers(std::string_view a, std::string_view b);

// The version in the first line of a "-version" run: the text between the
// quotes behind "java version " or "openjdk version ". Releases since 9
// print more behind the closing quote (a date, "LTS"), which is not part of
// the version. Without a closing quote, the rest of the line without its
// line end. False for a line of any other form or an empty version.
bool parseVersionLine(std::string_view line, std::string& version);

// The first line of a probe's output as the C library's text mode reads it
// into a buffer of `capacity` bytes (fgets): CR LF read as LF, a Ctrl-Z ends
// the text, the line end kept, at most capacity - 1 bytes. `raw` is the
// start of the file; 2 * capacity bytes of it are always enough.
std::string firstTextLine(std::string_view raw, size_t capacity);

// A registry key name as the runtime it names would report its version:
// installers of OpenJDK builds name their keys "8.0.392.8" or "17.0.9.9"
// (feature, interim, update, build), some JavaSoft keys "1.8.0.212", while
// those runtimes report 1.8.0_392, 17.0.9 and 1.8.0_212. Bounds in the
// legacy form are compared with that text, so a key's name never drops a
// runtime the bounds would accept. Names of other forms come back unchanged.
std::string reportedVersionOfKeyName(std::string_view name);

// The range the bounds allow, in words for a message: "17 or later",
// "1.8 or earlier", "1.6 to 1.8", "17" (equal bounds), "any version".
std::string describeVersionRange(std::string_view lower, std::string_view upper);

// The Java half (kvo-runtime.jar) consists of class files of Java 8.
constexpr std::string_view kJavaHalfLowestVersion = "1.8";
// Whether a lower bound admits runtimes older than Java 8: no bound, a
// legacy bound that sorts below "1.8" ("1.6", "1", "1.7.0_80"), a numeric
// one below 8 ("7").
bool lowerBoundAdmitsBelowJavaHalf(std::string_view lower);
// The lower bound a search with the Java half packed holds runtimes
// against: "1.8" where `lower` admits older ones, else `lower` itself.
std::string lowerBoundForJavaHalf(std::string_view lower);
// Whether an upper bound admits only runtimes older than Java 8 ("1.7",
// "7"): it refuses even 1.8.0, and with that every later version.
bool upperBoundBelowJavaHalf(std::string_view upper);
