#pragma once

#include <functional>
#include <string>

// True for a name that ends in ".ogg" in any case.
bool HasOggExtension(const std::string& name);

// Calls visit with the path of every "*.ogg" file (any case) in folder and its subfolders,
// names in byte order within each folder, files before the subfolders' files. Hidden entries
// (a name starting with ".") are left out, and symbolic links to folders are not followed, so a
// link loop cannot trap the walk; links to files count as files. Unreadable folders are
// skipped. Stops as soon as visit returns false, or keepGoing (asked before each folder is
// read, so a tree without any audio file stops too) returns false, and then returns false.
bool WalkAudioFolder(const std::string& folder,
                     const std::function<bool(const std::string&)>& visit,
                     const std::function<bool()>& keepGoing = {});
