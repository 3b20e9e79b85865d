// Settings on Linux: the same keys and parsing as vandrel.ini on Windows, read from
// $XDG_CONFIG_HOME/vandrel/vandrel.ini (or ~/.config/vandrel/vandrel.ini); without that
// file, from the first vandrel/vandrel.ini of $XDG_CONFIG_DIRS (default /etc/xdg), where
// the package puts the defaults that point at its demo worker.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "controller/ini_text.h"
#include "controller/settings.h"
#include "host/logic/linux_options.h"

namespace vandrel {

SaverSettings settings;

namespace {

// Far more than any settings file; a larger one is read up to here.
constexpr size_t kMaxFileBytes = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int32_t readInt(const char* text, size_t length, const char* key,
                int32_t (*parse)(const char*) = parseSettingInt) {
    char value[256];
    return iniLookup(text, length, kSettingsSection, key, value, sizeof value) ? parse(value) : 0;
}

// A value that does not fit the field is dropped whole rather than cut.
void readPath(const char* text, size_t length, const char* key, char (&field)[kMaxPathChars + 1]) {
    size_t whole = 0;
    if (!iniLookup(text, length, kSettingsSection, key, field, sizeof field, &whole) ||
        whole > kMaxPathChars) {
        field[0] = '\0';
    }
}

}  // namespace

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

// The user's file, else the first system-wide one; null when there is none.
static std::FILE* openSettingsFile() {
    char path[4096];
    if (settingsFilePath(path, sizeof path)) {
        if (std::FILE* file = std::fopen(path, "rb")) {
            return file;
        }
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
            if (written > 0 && static_cast<size_t>(written) < sizeof path) {
                if (std::FILE* file = std::fopen(path, "rb")) {
                    return file;
                }
            }
        }
        p += n;
        if (*p == ':') {
            ++p;
        }
    }
    return nullptr;
}

void readSettings() {
    settings = SaverSettings{};
    std::unique_ptr<std::FILE, FileCloser> file(openSettingsFile());
    if (!file) {
        return;
    }
    std::unique_ptr<char[]> text(new char[kMaxFileBytes]);
    size_t length = std::fread(text.get(), 1, kMaxFileBytes, file.get());
    if (length == kMaxFileBytes && std::fgetc(file.get()) != EOF) {
        // The read ends inside a line: that line is dropped whole, or a value cut here
        // could name another program.
        while (length > 0 && text[length - 1] != '\n' && text[length - 1] != '\r') {
            --length;
        }
    }
    settings.Blank = readInt(text.get(), length, "Blank");
    settings.Minutes = readInt(text.get(), length, "Minutes");
    settings.Scale = readInt(text.get(), length, "Scale", parseScaleSetting);
    char idle[32];
    if (iniLookup(text.get(), length, kSettingsSection, "IdleMinutes", idle, sizeof idle)) {
        parseIdleMinutes(idle, settings.IdleMs);
    }
    readPath(text.get(), length, "ClientPath", settings.ClientPath);
    readPath(text.get(), length, "ClientDir", settings.ClientDir);
    if (settings.ClientDir[0] != '\0') {
        // One that cannot be entered changes nothing; the worker may still start.
        if (chdir(settings.ClientDir) != 0) {
            std::fprintf(stderr, "vandrel: cannot enter ClientDir %s: %s\n", settings.ClientDir,
                         std::strerror(errno));
        }
    }
}

}  // namespace vandrel
