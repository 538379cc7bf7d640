// The commands that hints tell a user to type, in the words of the shell
// they are pasted into: POSIX sh, or on Windows cmd running PowerShell.
// Every name is quoted for that shell, so a name with blanks, quotes or
// $(...) in it is one word and never runs anything.  shell_posix.cpp and
// shell_windows.cpp hold the two vocabularies.
#ifndef ZOL_COMMON_SHELL_H
#define ZOL_COMMON_SHELL_H

#include <string>

namespace shell {

// name as one word: POSIX single quotes ('\'' for a quote) where it needs
// them; PowerShell single quotes, with every character PowerShell reads as
// one (U+0027, U+2018 to U+201B) doubled.
std::string Quote(const std::string& name);

// Writes the file name without its first 512 bytes to headerless.sfc.
std::string StripHeader(const std::string& name);

// Converts the UTF-8 file name (starting with a byte order mark, if bom)
// to Shift-JIS in place.
std::string ConvertToShiftJis(const std::string& name, bool bom);

// Gives every LF of the file name that has no CR before it one.
std::string FixLineEnds(const std::string& name);

}  // namespace shell

#endif  // ZOL_COMMON_SHELL_H
