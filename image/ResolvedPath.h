#pragma once

#include <string>

// The file a path finally names: made absolute against the current folder, links followed
// (the last component's too, even when it points at a file not yet made), "." and ".."
// folded away. Every spelling of one file gives the same text, so a lock keyed on it is one
// lock, and a file replaced by writing beside it and renaming is replaced where it really
// lives: a link stays a link. UTF-8 in, UTF-8 out; a path that cannot be resolved comes back
// absolute, or as given.
std::string ResolvedPath(const std::string& path);

// The path made absolute against the current folder, with "." and ".." folded away but links
// left as they are: the name the user gave, as it reads from anywhere.
std::string AbsolutePath(const std::string& path);
