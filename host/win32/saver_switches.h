#pragma once
#include <cstdint>

// The Windows saver's decisions that need no platform: reading the command line and the
// pause after a refused password. Tested natively.
namespace vandrel {

// --- Command line -------------------------------------------------------------

// Advances one character; on Windows CharNextA, so double-byte names step whole.
using NextChar = const char* (*)(const char* p);
const char* nextByte(const char* p);

// Skips the program name (quoted or not) and the separators after it; returns the
// switch text.
const char* skipProgramName(const char* commandLine, NextChar next = nextByte);

// Decimal digits from the start, in 32-bit wrap-around; stops at the first non-digit.
uint32_t parseWindowHandle(const char* text);

enum class RunMode : uint8_t { Settings, Saver, Preview, ChangePassword, Rejected };

struct SwitchRequest {
    RunMode mode = RunMode::Rejected;
    // Settings from "c": the dialog is owned by the foreground window.
    bool ownerIsForeground = false;
    // The handle after "p", "l" or "a"; 0 when none was given.
    uint32_t handle = 0;
};

// Reads the first switch letter (after any spaces, "-" and "/") and what belongs to it.
// Whether a handle names a window, and the platform family, are for the caller.
SwitchRequest parseSwitch(const char* switchText);

// --- Password ---------------------------------------------------------------------

// Pause after a refused password during which further close requests are refused.
inline constexpr uint32_t kReverifyPauseMs = 200;
inline constexpr uint32_t kNoVerifyYet = 0xFFFFFFFFu;
bool withinReverifyPause(uint32_t now, uint32_t lastVerifyTick);

}  // namespace vandrel
