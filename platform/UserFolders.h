#pragma once

#include <string>

// The user's folders as the desktop names them (XDG user directories), without a trailing
// separator; empty when there is none.
std::string HomeFolder();
std::string MusicFolder();
std::string DesktopFolder();
// The user's configuration home: $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHome();
