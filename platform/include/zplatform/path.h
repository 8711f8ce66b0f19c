#pragma once
// Path helpers on '/'-separated paths, taken as byte strings so that names
// that are not valid UTF-8 still pass through unchanged.

#include <string>
#include <string_view>

namespace zplatform {

inline constexpr char kPathSeparator = '/';

// Everything up to and including the last '/', or "" when there is none.
std::string DirectoryPart(std::string_view path);

// Everything after the last '/'.
std::string FileNamePart(std::string_view path);

// From the last '.' of the last component, dot included; "" without one.
std::string ExtensionPart(std::string_view path);

// The last component without its extension.
std::string BaseNamePart(std::string_view path);

// `directory` with a trailing '/' appended when it lacks one (an empty
// directory stays empty).
std::string WithTrailingSeparator(std::string_view directory);

// The user's home directory ($HOME, else the password database), no trailing '/'.
std::string HomeDirectory();

}  // namespace zplatform
