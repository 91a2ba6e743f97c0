// Included files kept per user from one start to the next (record
// IncludedFilesCache): the first start extracts them into a folder of the
// application's under the local application data, named by their content
// (record IncludedFilesHash); later starts compare sizes and times only and
// restore what is missing or changed. Extraction goes into a sibling folder
// published by one rename, so no start ever sees half a folder; a start holds
// its folder open for its life, which is how another start knows the folder is
// in use and leaves it, while it removes the application's other contents.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Points launcherTempDir at the kept folder with every one of `names` as the
// launcher wrote it (launcherTempDirKept set, unextractedPosition behind the
// last file); false, with the reason logged, when the start should extract
// into a fresh temporary folder instead.
bool useIncludedFilesCache(const std::vector<std::wstring>& names);

// The included files directly in `folder` ("" for the top) whose names end
// in "." and `extension`, as paths in the kept folder, in their packed
// order. The kept folder may also hold files the application put there,
// which a listing of it would take for included ones.
std::vector<std::string> keptIncludedFiles(std::string_view folder, std::string_view extension);
