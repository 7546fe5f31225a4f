#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/FileSystem.h"

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// Reads XDG_<NAME>_DIR from user-dirs.dirs; "$HOME/Music" style values are expanded. A folder
// set to the home folder itself means "not configured".
std::string UserDir(const std::string& name, const std::string& fallback) {
    const std::string home = HomeFolder();
    std::ifstream in(ConfigHome() + "/user-dirs.dirs");
    const std::string prefix = "XDG_" + name + "_DIR=";
    std::string line, found;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::string v = line.substr(prefix.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0)
            v = home + v.substr(5);
        if (!v.empty() && v[0] == '/')
            found = v;
    }
    while (found.size() > 1 && found.back() == '/')
        found.pop_back();
    if (!found.empty() && found != home)
        return found;
    return home.empty() ? std::string() : home + "/" + fallback;
}

}  // namespace

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()))
            home = pw->pw_dir ? pw->pw_dir : "";
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

std::string ConfigHome() {
    std::string dir = Env("XDG_CONFIG_HOME");
    if (dir.empty() || dir[0] != '/') {
        std::string home = HomeFolder();
        dir = home.empty() ? std::string() : home + "/.config";
    }
    return dir;
}

std::string MusicFolder() {
    return UserDir("MUSIC", "Music");
}
std::string DesktopFolder() {
    return UserDir("DESKTOP", "Desktop");
}
