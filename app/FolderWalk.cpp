#include "app/FolderWalk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

bool HasOggExtension(const std::string& name) {
    if (name.size() < 4)
        return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'o' && (tail[2] | 0x20) == 'g' &&
           (tail[3] | 0x20) == 'g';
}

bool WalkAudioFolder(const std::string& folder,
                     const std::function<bool(const std::string&)>& visit,
                     const std::function<bool()>& keepGoing) {
    if (keepGoing && !keepGoing())
        return false;
    std::error_code ec;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code statError;
        const fs::file_status own = entry.symlink_status(statError);
        if (statError)
            continue;
        if (fs::is_directory(own)) {
            folders.push_back(entry.path().string());
            continue;
        }
        // A link is judged by its target: a file counts, a folder is never entered.
        const fs::file_status target = entry.status(statError);
        if (statError || fs::is_directory(target))
            continue;
        if (HasOggExtension(name))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& file : files)
        if (!visit(file))
            return false;
    for (const std::string& sub : folders)
        if (!WalkAudioFolder(sub, visit, keepGoing))
            return false;
    return true;
}
