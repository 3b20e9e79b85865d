#pragma once
#include <cstddef>
#include <cstdint>

#include "controller/saver_logic.h"

namespace vandrel {

// The settings of vandrel.ini, section "boot". Read again at every window creation and
// every opening of the dialog; the dialog writes back the two blanking keys and Scale.
struct SaverSettings {
    int32_t Blank = 0;    // non-zero: blank the screen after Minutes
    int32_t Minutes = 0;  // delay before blanking
    int32_t Scale = 0;    // the dashboard's size: 0 automatic, 1 to 8 a fixed factor
    uint32_t IdleMs = 0;  // Linux only: IdleMinutes, the wait of --idle; 0 when unset or bad
    // Empty when missing, or when the stored value is longer than a path can be: a cut
    // path could name another program.
    char ClientPath[kMaxPathChars + 1] = {};
    char ClientDir[kMaxPathChars + 1] = {};
};

// The process-wide settings.
extern SaverSettings settings;

inline constexpr const char* kSettingsFile = "vandrel.ini";
inline constexpr const char* kSettingsSection = "boot";

// Fills settings from the file (missing keys give 0 and empty) and makes ClientDir the
// current directory when it is set; a directory that does not exist changes nothing.
void readSettings();
#ifdef _WIN32
// Writes one integer key as decimal text; failures are not reported.
void writeSetting(const char* key, int32_t value);
#else
// $XDG_CONFIG_HOME/vandrel/vandrel.ini, or ~/.config/vandrel/vandrel.ini when that is
// unset or not absolute. False when neither can be told or the path does not fit.
bool settingsFilePath(char* out, size_t outSize);
#endif

}  // namespace vandrel
