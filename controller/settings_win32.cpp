#include "controller/settings.h"

#include <cstdio>
#include <cstring>

#include "host/saver_api.h"

namespace vandrel {

SaverSettings settings;

static int32_t readInt(const char* key) {
    char text[256];
    DWORD n = GetPrivateProfileStringA(kSettingsSection, key, "", text, sizeof text, kSettingsFile);
    return n == 0 ? 0 : parseSettingInt(text);
}

// A value that does not fit the field is dropped whole rather than cut.
static void readPath(const char* key, char (&field)[kMaxPathChars + 1]) {
    char text[1024];
    DWORD n = GetPrivateProfileStringA(kSettingsSection, key, "", text, sizeof text, kSettingsFile);
    if (n > kMaxPathChars) {
        field[0] = '\0';
        return;
    }
    std::memcpy(field, text, n);
    field[n] = '\0';
}

void readSettings() {
    settings.Blank = readInt("Blank");
    settings.Minutes = readInt("Minutes");
    readPath("ClientPath", settings.ClientPath);
    readPath("ClientDir", settings.ClientDir);
    if (settings.ClientDir[0] != '\0') {
        SetCurrentDirectoryA(settings.ClientDir);
    }
}

void writeSetting(const char* key, int32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(kSettingsSection, key, text, kSettingsFile);
}

}  // namespace vandrel

using vandrel::settings;

INT_PTR WINAPI ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            vandrel::readSettings();
            // Shown unsigned: a negative value written by hand appears as its 32-bit pattern.
            SetDlgItemInt(dialog, IDC_MINUTES, static_cast<UINT>(settings.Minutes), FALSE);
            SendDlgItemMessageA(dialog, IDC_BLANK, BM_SETCHECK,
                                settings.Blank != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    BOOL converted = FALSE;
                    settings.Minutes =
                        static_cast<int32_t>(GetDlgItemInt(dialog, IDC_MINUTES, &converted, TRUE));
                    settings.Blank =
                        SendDlgItemMessageA(dialog, IDC_BLANK, BM_GETCHECK, 0, 0) == BST_CHECKED;
                    vandrel::writeSetting("Blank", settings.Blank);
                    vandrel::writeSetting("Minutes", settings.Minutes);
                    EndDialog(dialog, 1);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}
