#pragma once
#include <cstddef>
#include <string>

namespace vandrel {

// The settings file's bytes, read and written the one way both the saver and the
// settings window do it.

// Far more than any settings file; a larger one is read up to here.
inline constexpr size_t kMaxSettingsBytes = 64 * 1024;

enum class SettingsRead { Read, Missing, Skipped };

// Reads at most kMaxSettingsBytes of path into text without ever waiting: the file is
// opened non-blocking and read only when it is a regular file, so a FIFO or a device
// cannot hang the caller. When the file is longer, the line cut by the limit is dropped
// whole. Missing: no such file (nothing said). Skipped: something else is there or it
// cannot be read; why is put in why (one line, no newline).
SettingsRead readSettingsText(const char* path, std::string& text, std::string& why);

// The settings the saver reads: the user's file, else the first system-wide one (each
// read as above; one skipped is said on stderr). False when there is none.
bool readSettingsFile(std::string& text);

// Replaces path with text: written to a new file in the same folder, flushed, then
// renamed over the old one, so a crash leaves either the old file or the new one.
// False, with why, when that fails; path is then as it was.
bool writeSettingsText(const char* path, const std::string& text, std::string& why);

}  // namespace vandrel
