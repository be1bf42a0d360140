// Small helpers shared by the product's three programs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace vx::programs {

// Full path of the running executable; empty on failure.
std::string OwnPath();
// The folder part of a path, without the trailing backslash.
std::string FolderOf(const std::string& path);
// The name part of a path (after the last backslash or slash).
std::string NameOf(const std::string& path);

// The command line after the program's own name, with blanks trimmed.
std::string ArgumentsAfterProgram(const char* commandLine);
// Blank-separated arguments; double quotes group blanks into one argument and
// are removed (paths cannot hold double quotes, so there is no escape).
std::vector<std::string> SplitArguments(std::string_view arguments);
// One argument that may hold unquoted blanks (a path typed by hand):
// the trimmed text with one pair of surrounding double quotes removed.
std::string SingleArgument(std::string_view arguments);

// Case-insensitive comparison of two paths or names (Windows-1252).
bool SamePath(const std::string& a, const std::string& b);
// True when the list holds the path (compared as SamePath does).
bool ContainsPath(const std::vector<std::string>& paths, const std::string& path);
// True when path lies inside folder (or is the folder), after both have been
// made absolute and normalised, so ".." cannot climb out.
bool IsInsideFolder(const std::string& folder, const std::string& path);

// " (error N)" for a Win32 error code.
std::string ErrorSuffix(DWORD error);

}  // namespace vx::programs
