#include "host/settings_gtk/session_start.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "host/posix/settings_file.h"

namespace vandrel {
namespace {

constexpr const char* kDaemons[] = {"xscreensaver", "swayidle", "hypridle"};

std::string configHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.config" : std::string();
}

std::string ownFolder() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return {};
    }
    self[n] = '\0';
    std::string path(self);
    return path.substr(0, path.find_last_of('/'));
}

bool isExecutable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string autostartEntryPath() {
    const std::string config = configHome();
    return config.empty() ? config : config + "/autostart/vandrel-idle.desktop";
}

bool sessionStartEnabled() {
    const std::string path = autostartEntryPath();
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

bool setSessionStart(bool on, std::string& error) {
    const std::string path = autostartEntryPath();
    if (path.empty()) {
        error = "Cannot tell the home folder: HOME is not set.";
        return false;
    }
    if (!on) {
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            error = "Cannot remove " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        return true;
    }
    // Exec names this program by its full path: the session's PATH may lack /usr/bin
    // additions, and the watcher must be the one installed with this window.
    const std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Vandrel idle watcher\n"
        "Comment=Shows the Vandrel screen saver when the session is idle\n"
        "Exec=" +
        siblingProgram("vandrel-settings") +
        " --session-watcher\n"
        "Icon=vandrel-settings\n"
        "NoDisplay=true\n"
        "X-GNOME-Autostart-enabled=true\n";
    std::string why;
    if (!writeSettingsText(path.c_str(), text, why)) {
        error = "Cannot turn on the start with the session: " + why + ".";
        return false;
    }
    return true;
}

std::string runningIdleDaemon() {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return {};
    }
    std::string found;
    const uid_t me = getuid();
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') {
            continue;
        }
        const std::string dir = std::string("/proc/") + entry->d_name;
        struct stat info {};
        if (stat(dir.c_str(), &info) != 0 || info.st_uid != me) {
            continue;
        }
        std::string name;
        std::getline(std::ifstream(dir + "/comm"), name);
        for (const char* daemon : kDaemons) {
            if (name == daemon) {
                found = daemon;
            }
        }
        if (!found.empty()) {
            break;
        }
    }
    closedir(proc);
    return found;
}

std::string siblingProgram(const char* name) {
    const std::string folder = ownFolder();
    for (const std::string& candidate : {folder + "/" + name, folder + "/../" + name}) {
        if (!folder.empty() && isExecutable(candidate)) {
            return candidate;
        }
    }
    return name;
}

int runSessionWatcher() {
    const std::string daemon = runningIdleDaemon();
    if (!daemon.empty()) {
        std::fprintf(stderr, "vandrel-settings: %s already starts the saver; no second watcher\n",
                     daemon.c_str());
        return 0;
    }
    const std::string vandrel = siblingProgram("vandrel");
    execlp(vandrel.c_str(), vandrel.c_str(), "--idle", static_cast<char*>(nullptr));
    std::fprintf(stderr, "vandrel-settings: cannot start %s: %s\n", vandrel.c_str(),
                 std::strerror(errno));
    return 1;
}

}  // namespace vandrel
