// What the product's main program shows: where it runs from, the settings the
// setup wrote, and the project it was given.
#pragma once

#include <string>

namespace vx::programs {

// The settings under HKEY_LOCAL_MACHINE (the product's registry view), one
// "name = value" line each, "\r\n" line ends.
std::string DescribeSettings();

// The project's name and path, then its first lines; a note when no project
// was given or the file cannot be read.
std::string DescribeProject(const std::string& projectPath);

// The whole text of the main window.
std::string DescribeProduct(const std::string& programFolder, const std::string& projectPath);

}  // namespace vx::programs
