// A stand-in for the platform's password module. The answer comes from
// verify_answer.txt beside this module ("1" accepts); each call appends the class name
// of the owner window to verify_calls.txt there.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void besideModule(const char* name, char* out, DWORD size) {
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
