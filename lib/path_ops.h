// Path handling shared by the driver (input names, results file, directory
// walk) and the file layer.
//
// Paths may be written with Windows separators ('\') or POSIX ones ('/');
// examiners paste both kinds.
#pragma once

#include <string>

namespace qv {

// Removes trailing '/' and '\' characters in place; returns whether anything
// is left.
bool strip_trailing_separators(std::wstring& path);

// Splits a path into a directory part and a name part, at the last '\' or,
// when the path holds no '\', at the last '/'. A separator at position 0 does
// not count: "/x" gives directory "." and name "/x", and so does a path
// without separator ("notes.txt" gives "." and "notes.txt"). A trailing ".."
// becomes the name "." with "\.." (or "//..") appended to the directory.
// Both outputs are cleared first; false only for an empty path.
bool split_path(const std::string& path, std::string& directory, std::string& name);
bool split_path(const std::wstring& path, std::wstring& directory, std::wstring& name);

// Returns `text` with every %NAME% reference whose variable is set in the
// environment replaced by its value; values are expanded in turn. Expansion
// stops once the text is 513 characters or longer. A reference to an unset
// variable stays as written, except that with `vss` a reference to "vss" (any
// case) becomes shadow_copy_prefix(false, true). A reference that still
// expands after 64 nested replacements (a variable that names itself, or a
// cycle of them) is left as it stands and the scan goes on after it.
std::string expand_env_vars(const std::string& text, bool vss);

// Device prefix of the volume shadow copies: with `long_form`
// "\\?\GLOBALROOT\Device\HarddiskVolumeShadowCopy", otherwise
// "\Device\HarddiskVolumeShadowCopy"; lower-cased when `lower` is set.
std::string shadow_copy_prefix(bool lower, bool long_form);

}  // namespace qv
