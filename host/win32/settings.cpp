#include "controller/settings.h"

#include <cstdio>
#include <cstring>

#include "host/win32/saver_api.h"

namespace vandrel {

SaverSettings settings;

static int32_t readInt(const char* key, int32_t (*parse)(const char*) = parseSettingInt) {
    char text[256];
    DWORD n = GetPrivateProfileStringA(kSettingsSection, key, "", text, sizeof text, kSettingsFile);
    return n == 0 ? 0 : parse(text);
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
    settings.Scale = readInt("Scale", parseScaleSetting);
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

namespace {

// The size list: each item carries its Scale value. A factor above the list's own,
// written by hand, is shown as one more item so that OK keeps it.
void fillScaleList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SCALE);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    const int32_t last = settings.Scale > 4 ? settings.Scale : 4;
    for (int32_t value = 0; value <= last; ++value) {
        if (value > 4 && value != settings.Scale) {
            continue;
        }
        char text[16] = "Automatic";
        if (value != 0) {
            std::snprintf(text, sizeof text, "%dx", static_cast<int>(value));
        }
        LRESULT item = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(item), value);
        if (value == settings.Scale) {
            SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        }
    }
}

int32_t chosenScale(HWND dialog) {
    LRESULT item = SendDlgItemMessageA(dialog, IDC_SCALE, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) {
        return settings.Scale;
    }
    LRESULT value =
        SendDlgItemMessageA(dialog, IDC_SCALE, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
    return value >= 0 && value <= vandrel::kMaxScale ? static_cast<int32_t>(value) : 0;
}

}  // namespace

INT_PTR WINAPI ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            vandrel::readSettings();
            // Shown unsigned: a negative value written by hand appears as its 32-bit pattern.
            SetDlgItemInt(dialog, IDC_MINUTES, static_cast<UINT>(settings.Minutes), FALSE);
            SendDlgItemMessageA(dialog, IDC_BLANK, BM_SETCHECK,
                                settings.Blank != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            fillScaleList(dialog);
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
                    settings.Scale = chosenScale(dialog);
                    vandrel::writeSetting("Scale", settings.Scale);
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
