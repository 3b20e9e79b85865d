// A system-wide CBT hook that the saver tests install, loaded by Wine into every GUI
// process of the desktop. In the process of a saver window it plays the platform's part:
// the arrow is the cursor when the saver window is made (as the desktop's cursor would
// be), and every system command that reaches the default window procedure is appended,
// in hex, to syscommands.txt beside this module.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool inSaverProcess() {
    HWND saver = FindWindowA("WindowsScreenSaverClass", nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(saver, &owner);
    return saver != nullptr && owner == GetCurrentProcessId();
}

void appendToLog(WPARAM command) {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&appendToLog), &self);
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, sizeof path);
    char* slash = std::strrchr(path, '\\');
    if (n == 0 || slash == nullptr) {
        return;
    }
    std::snprintf(slash + 1, sizeof path - static_cast<size_t>(slash + 1 - path), "%s",
                  "syscommands.txt");
    if (FILE* log = std::fopen(path, "ab")) {
        std::fprintf(log, "%04x\n", static_cast<unsigned>(command));
        std::fclose(log);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    vandrelTestCbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        char name[64] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        if (std::strcmp(name, "WindowsScreenSaverClass") == 0) {
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // the arrow
        }
    } else if (code == HCBT_SYSCOMMAND && inSaverProcess()) {
        appendToLog(wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
