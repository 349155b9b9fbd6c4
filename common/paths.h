// Windows path pieces.
#pragma once

#include <string>
#include <string_view>

namespace zr {

// The folder part up to and including the last backslash, and the rest.
struct PathParts {
  std::string folder;
  std::string name;
};
PathParts SplitPath(std::string_view path);

// `path` with a backslash appended unless it ends with one (an empty path
// stays empty).
std::string WithTrailingBackslash(std::string_view path);
// A path that names its drive ("C:\\...") or server ("\\\\server\\..."): it
// does not depend on the current folder or drive.
bool IsFullPath(std::string_view path);

}  // namespace zr
