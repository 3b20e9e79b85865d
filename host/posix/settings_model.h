#pragma once
#include <cstdint>
#include <string>

#include "controller/settings.h"

// The settings file as the saver reads it and the settings window edits it: section
// "boot" of vandrel.ini, kept as text so that lines and keys this program does not know,
// comments, the byte-order mark and the line ends all survive an edit.
namespace vandrel {

class SettingsDocument {
  public:
    explicit SettingsDocument(std::string text = {}) : text_(std::move(text)) {}
    const std::string& text() const { return text_; }
    // The value as the saver reads it (first match, quotes dropped); false when missing.
    bool get(const char* key, std::string& value) const;
    // Rewrites the first line that holds key in section boot, else adds one at the end
    // of that section (or a new section at the end of the file).
    void set(const char* key, const std::string& value);

  private:
    std::string text_;
};

// The saver's settings from the document: missing keys give 0 and empty, a number read
// as the Windows profile functions read it, a path that does not fit dropped whole.
SaverSettings saverSettingsFrom(const SettingsDocument& document);

// What the settings window edits, in the units it shows them.
struct SettingsForm {
    bool blank = false;
    int64_t minutes = 0;            // 0 .. kMaxBlankMinutes
    int64_t scale = 0;              // 0 automatic, 1 .. kMaxScale
    std::string idleMinutes = "5";  // as IdleMinutes= takes it: above 0, at most a day
    std::string clientPath;         // empty, or the worker program
    std::string clientDir;          // empty, or its folder
};

inline constexpr int64_t kMaxBlankMinutes = 2147483647;  // what the Windows dialog takes
inline constexpr const char* kDefaultIdleMinutes = "5";

SettingsForm settingsFormFrom(const SettingsDocument& document);

// Checks every value's range; false, with the first fault said for a user, when one is
// out of it. The file system is not asked here (see the store).
bool checkSettingsForm(const SettingsForm& form, std::string& error);

// Puts the form's values into the document, each key written whole.
void storeSettingsForm(const SettingsForm& form, SettingsDocument& document);

}  // namespace vandrel
