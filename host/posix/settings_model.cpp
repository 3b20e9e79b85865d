#include "host/posix/settings_model.h"

#include <cstdio>
#include <cstring>

#include "controller/ini_text.h"
#include "controller/saver_logic.h"
#include "host/posix/linux_options.h"

namespace vandrel {
namespace {

struct Line {
    size_t begin, end, next;  // its text [begin, end); the next line starts at next
};

Line lineAt(const std::string& text, size_t p) {
    Line line{p, p, p};
    while (line.end < text.size() && text[line.end] != '\n' && text[line.end] != '\r') {
        ++line.end;
    }
    line.next = line.end;
    if (line.next < text.size() && text[line.next] == '\r') {
        ++line.next;
    }
    if (line.next < text.size() && text[line.next] == '\n') {
        ++line.next;
    }
    return line;
}

std::string trimmed(const std::string& text, size_t begin, size_t end) {
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The line end the file already uses, so an added line matches its neighbours.
std::string lineEndOf(const std::string& text) {
    const size_t first = text.find_first_of("\r\n");
    if (first == std::string::npos || text[first] == '\n') {
        return "\n";
    }
    return first + 1 < text.size() && text[first + 1] == '\n' ? "\r\n" : "\r";
}

// A value the lookup would read back changed: white space at its ends, or quotes.
bool readsBackChanged(const std::string& value) {
    return !value.empty() &&
           (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
            value.back() == '\t' || value.front() == '"' || value.front() == '\'');
}

}  // namespace

bool SettingsDocument::get(const char* key, std::string& value) const {
    size_t whole = 0;
    char probe[1];
    if (!iniLookup(text_.data(), text_.size(), kSettingsSection, key, probe, sizeof probe,
                   &whole)) {
        return false;
    }
    value.assign(whole + 1, '\0');
    iniLookup(text_.data(), text_.size(), kSettingsSection, key, value.data(), value.size());
    value.resize(whole);
    return true;
}

void SettingsDocument::set(const char* key, const std::string& value) {
    const std::string entry = std::string(key) + "=" + value;
    const std::string eol = lineEndOf(text_);
    bool inSection = false;
    size_t sectionEnd = std::string::npos;  // after the last line of the first boot section
    size_t p = text_.size() >= 3 && text_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (p < text_.size()) {
        const Line line = lineAt(text_, p);
        const std::string t = trimmed(text_, line.begin, line.end);
        p = line.next;
        if (!t.empty() && t[0] == '[') {
            const size_t close = t.find(']');
            const bool boot =
                close != std::string::npos && sameName(trimmed(t, 1, close), kSettingsSection);
            inSection = boot && sectionEnd == std::string::npos;
            if (inSection) {
                sectionEnd = line.next;
            }
            continue;
        }
        if (!inSection || t.empty()) {
            continue;
        }
        sectionEnd = line.next;
        const size_t equals = t.find('=');
        if (t[0] != ';' && equals != std::string::npos && sameName(trimmed(t, 0, equals), key)) {
            text_.replace(line.begin, line.end - line.begin, entry);
            return;
        }
    }
    if (sectionEnd == std::string::npos) {
        if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') {
            text_ += eol;
        }
        text_.append("[").append(kSettingsSection).append("]").append(eol);
        text_.append(entry).append(eol);
        return;
    }
    // The section's last line may lack its line end at the end of the file.
    if (sectionEnd > 0 && text_[sectionEnd - 1] != '\n' && text_[sectionEnd - 1] != '\r') {
        text_.insert(sectionEnd, eol);
        sectionEnd += eol.size();
    }
    text_.insert(sectionEnd, entry + eol);
}

SaverSettings saverSettingsFrom(const SettingsDocument& document) {
    SaverSettings s;
    std::string value;
    if (document.get("Blank", value)) {
        s.Blank = parseSettingInt(value.c_str());
    }
    if (document.get("Minutes", value)) {
        s.Minutes = parseSettingInt(value.c_str());
    }
    if (document.get("Scale", value)) {
        s.Scale = parseScaleSetting(value.c_str());
    }
    if (document.get("IdleMinutes", value)) {
        parseIdleMinutes(value.c_str(), s.IdleMs);
    }
    // A value that does not fit the field is dropped whole rather than cut: a cut path
    // could name another program.
    if (document.get("ClientPath", value) && value.size() <= kMaxPathChars) {
        std::snprintf(s.ClientPath, sizeof s.ClientPath, "%s", value.c_str());
    }
    if (document.get("ClientDir", value) && value.size() <= kMaxPathChars) {
        std::snprintf(s.ClientDir, sizeof s.ClientDir, "%s", value.c_str());
    }
    return s;
}

SettingsForm settingsFormFrom(const SettingsDocument& document) {
    const SaverSettings s = saverSettingsFrom(document);
    SettingsForm form;
    form.blank = s.Blank != 0;
    // A negative delay written by hand shows as none, as the window cannot enter one.
    form.minutes = s.Minutes > 0 ? s.Minutes : 0;
    form.scale = s.Scale;
    std::string idle;
    uint32_t ms = 0;
    if (document.get("IdleMinutes", idle) && parseIdleMinutes(idle.c_str(), ms)) {
        form.idleMinutes = idle;
    }
    form.clientPath = s.ClientPath;
    form.clientDir = s.ClientDir;
    return form;
}

bool checkSettingsForm(const SettingsForm& form, std::string& error) {
    uint32_t ms = 0;
    if (form.minutes < 0 || form.minutes > kMaxBlankMinutes) {
        error = "Minutes until blank must be 0 to " + std::to_string(kMaxBlankMinutes) + ".";
    } else if (form.scale < 0 || form.scale > kMaxScale) {
        error = "The size must be automatic or 1 to " + std::to_string(kMaxScale) + ".";
    } else if (!parseIdleMinutes(form.idleMinutes.c_str(), ms)) {
        error = "The minutes without input must be above 0 and at most 1440.";
    } else if (form.clientPath.size() > kMaxPathChars || form.clientDir.size() > kMaxPathChars) {
        error = "A path is longer than " + std::to_string(kMaxPathChars) + " characters.";
    } else if (form.clientPath.find_first_of("\r\n") != std::string::npos ||
               form.clientDir.find_first_of("\r\n") != std::string::npos ||
               readsBackChanged(form.clientPath) || readsBackChanged(form.clientDir)) {
        error = "A path may not hold a line break, nor begin or end with a space or a quote.";
    } else {
        return true;
    }
    return false;
}

void storeSettingsForm(const SettingsForm& form, SettingsDocument& document) {
    document.set("Blank", form.blank ? "1" : "0");
    document.set("Minutes", std::to_string(form.minutes));
    document.set("Scale", std::to_string(form.scale));
    document.set("IdleMinutes", form.idleMinutes);
    document.set("ClientPath", form.clientPath);
    document.set("ClientDir", form.clientDir);
}

}  // namespace vandrel
