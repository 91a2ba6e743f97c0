// The "release" file at the top of a Java runtime image (KEY="value" lines,
// as jlink and the JDK builds write it). Its JAVA_VERSION is the text that
// "-version" prints between the quotes, so a runtime that has one needs no
// run to be judged, and a runtime without java.exe can be judged at all.
#pragma once

#include <string>
#include <string_view>

// How much of a release file is read; the files written today are a few
// hundred bytes.
constexpr size_t kReleaseFileReadLimit = 16384;
// Longer values name no version (a "-version" line gives at most 83).
constexpr size_t kReleaseVersionMax = 83;

// The value of JAVA_VERSION in `content`, without its quotes. False when
// there is no such line, the value is empty or too long, or it holds a
// character no version has (a control character or a quote inside).
bool releaseJavaVersion(std::string_view content, std::string& version);
