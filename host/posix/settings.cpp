// Settings on Linux: the same keys and parsing as vandrel.ini on Windows, read from
// $XDG_CONFIG_HOME/vandrel/vandrel.ini (or ~/.config/vandrel/vandrel.ini); without that
// file, from the first vandrel/vandrel.ini of $XDG_CONFIG_DIRS (default /etc/xdg), where
// the package puts the defaults that point at its demo worker. A candidate that is not a
// regular file (a FIFO, a device) is skipped with a line on stderr, never waited on.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controller/settings.h"
#include "host/posix/settings_model.h"
#include "host/posix/settings_file.h"

namespace vandrel {

SaverSettings settings;

bool settingsFilePath(char* out, size_t outSize) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    int n;
    if (config != nullptr && config[0] == '/') {
        n = std::snprintf(out, outSize, "%s/vandrel/%s", config, kSettingsFile);
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            return false;
        }
        n = std::snprintf(out, outSize, "%s/.config/vandrel/%s", home, kSettingsFile);
    }
    return n > 0 && static_cast<size_t>(n) < outSize;
}

namespace {

// path's text when it is a readable regular file; anything else is skipped, saying why.
bool readCandidate(const char* path, std::string& text) {
    std::string why;
    const SettingsRead result = readSettingsText(path, text, why);
    if (result == SettingsRead::Skipped) {
        std::fprintf(stderr, "vandrel: settings: %s\n", why.c_str());
    }
    return result == SettingsRead::Read;
}

}  // namespace

bool readSettingsFile(std::string& text) {
    char path[4096];
    if (settingsFilePath(path, sizeof path) && readCandidate(path, text)) {
        return true;
    }
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    if (dirs == nullptr || dirs[0] == '\0') {
        dirs = "/etc/xdg";
    }
    for (const char* p = dirs; *p != '\0';) {
        const char* end = std::strchr(p, ':');
        const size_t n = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
        // Relative entries are ignored, as the base directory rules say.
        if (n > 0 && p[0] == '/') {
            const int written = std::snprintf(path, sizeof path, "%.*s/vandrel/%s",
                                              static_cast<int>(n), p, kSettingsFile);
            if (written > 0 && static_cast<size_t>(written) < sizeof path &&
                readCandidate(path, text)) {
                return true;
            }
        }
        p += n;
        if (*p == ':') {
            ++p;
        }
    }
    return false;
}

void readSettings() {
    settings = SaverSettings{};
    std::string file;
    if (!readSettingsFile(file)) {
        return;
    }
    settings = saverSettingsFrom(SettingsDocument(std::move(file)));
    if (settings.ClientDir[0] != '\0') {
        // One that cannot be entered changes nothing; the worker may still start.
        if (chdir(settings.ClientDir) != 0) {
            std::fprintf(stderr, "vandrel: cannot enter ClientDir %s: %s\n", settings.ClientDir,
                         std::strerror(errno));
        }
    }
}

}  // namespace vandrel
