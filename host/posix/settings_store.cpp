#include "host/posix/settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include "host/posix/settings_file.h"

namespace vandrel {
namespace {

// The worker as the saver starts it: a relative path from within its folder.
bool checkWorker(const SettingsForm& form, std::string& error) {
    struct stat info {};
    if (!form.clientDir.empty() &&
        (stat(form.clientDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
        error = "The worker's folder " + form.clientDir + " is not a folder.";
        return false;
    }
    if (form.clientPath.empty()) {
        return true;
    }
    std::string worker = form.clientPath;
    if (worker[0] != '/' && !form.clientDir.empty()) {
        worker = form.clientDir + "/" + worker;
    }
    if (stat(worker.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(worker.c_str(), X_OK) != 0) {
        error = "The worker program " + form.clientPath + " is not an executable file.";
        return false;
    }
    return true;
}

}  // namespace

SettingsDocument loadSettingsDocument() {
    std::string text;
    readSettingsFile(text);
    return SettingsDocument(std::move(text));
}

bool saveSettings(const char* path, const SettingsForm& form, std::string& error) {
    if (!checkSettingsForm(form, error) || !checkWorker(form, error)) {
        return false;
    }
    SettingsDocument document = loadSettingsDocument();
    storeSettingsForm(form, document);
    std::string why;
    if (!writeSettingsText(path, document.text(), why)) {
        error = "Cannot save the settings: " + why + ".";
        return false;
    }
    return true;
}

}  // namespace vandrel
