// Removing a folder with everything below it, where the folder is provably
// the launcher's own (a kept content folder on its way out, a temporary
// folder of its own making).
#pragma once

#include <string>

// Removes `folder` and what it holds; false when something stayed. A link
// (junction, symbolic link) met below is removed as a link, never followed:
// what it points to is not the launcher's. Read-only files are deleted too.
// `folder` itself must be no link; the caller has looked.
bool removeFolderTree(const std::wstring& folder);
