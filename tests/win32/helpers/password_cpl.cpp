// A stand-in for the platform's password module. The answer comes from
// verify_answer.txt beside this module, or in VANDREL_PASSWORD_DIR ("1" accepts); each
// call appends the class name of the owner window to verify_calls.txt there. Like the
// real dialog it shows the cursor. Files there make it act as a user at the dialog would:
//   verify_cursor.txt "X Y"   the mouse moves to (X, Y) while the dialog is up (the
//                             dialog, not the saver, gets those moves);
//   verify_close.txt          a close request reaches the saver meanwhile (the dialog's
//                             message loop dispatches it).
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void besideModule(const char* name, char* out, DWORD size) {
    DWORD set = GetEnvironmentVariableA("VANDREL_PASSWORD_DIR", out, size);
    if (set != 0 && set < size) {
        std::snprintf(out + set, size - set, "\\%s", name);
        return;
    }
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&besideModule), &self);
    DWORD n = GetModuleFileNameA(self, out, size);
    char* slash = std::strrchr(out, '\\');
    if (n == 0 || slash == nullptr) {
        out[0] = '\0';
        return;
    }
    std::snprintf(slash + 1, size - static_cast<DWORD>(slash + 1 - out), "%s", name);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND owner) {
    char path[MAX_PATH];
    besideModule("verify_calls.txt", path, sizeof path);
    char className[64] = {};
    GetClassNameA(owner, className, sizeof className);
    if (FILE* log = std::fopen(path, "ab")) {
        std::fprintf(log, "%s\n", className);
        std::fclose(log);
    }
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // the arrow
    static int depth = 0;
    ++depth;
    besideModule("verify_cursor.txt", path, sizeof path);
    int x = 0, y = 0;
    UINT taken = WM_NULL;  // what the dialog's loop keeps from the saver
    if (FILE* file = std::fopen(path, "r")) {
        if (std::fscanf(file, "%d %d", &x, &y) == 2) {
            SetCursorPos(x, y);
            taken = WM_MOUSEMOVE;
        }
        std::fclose(file);
    }
    besideModule("verify_close.txt", path, sizeof path);
    const bool close = depth == 1 && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    if (close) {
        PostMessageA(owner, WM_CLOSE, 0, 0);
    }
    for (DWORD start = GetTickCount(); (taken != WM_NULL || close) && GetTickCount() - start < 300;
         Sleep(10)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != taken) {
                DispatchMessageA(&message);
            }
        }
    }
    --depth;
    besideModule("verify_answer.txt", path, sizeof path);
    int answer = 0;
    if (FILE* file = std::fopen(path, "r")) {
        if (std::fscanf(file, "%d", &answer) != 1) {
            answer = 0;
        }
        std::fclose(file);
    }
    return answer != 0;
}
