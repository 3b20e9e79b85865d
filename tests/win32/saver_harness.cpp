#include "tests/win32/saver_harness.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "render/canvas_win32.h"

namespace saver_test {

std::string testDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    if (char* slash = std::strrchr(path, '\\')) {
        *slash = '\0';
    }
    return path;
}

std::string helperPath(const char* fileName) {
    return testDirectory() + "\\win32\\" + fileName;
}

std::string scrPath() {
    const std::string dir = testDirectory();
    return dir.substr(0, dir.find_last_of('\\')) + "\\host\\Vandrel.scr";
}

std::string scratchDirectory(const char* name) {
    std::string dir = testDirectory() + "\\scratch_" + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileA((dir + "\\" + found.cFileName).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return dir;
}

std::string readFile(const std::string& path) {
    std::string content;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            content.append(buffer, n);
        }
        std::fclose(file);
    }
    return content;
}

void writeFile(const std::string& path, const std::string& content) {
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string settingsPath() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\vandrel.ini";
}

void writeSettingsFile(const std::string& content) {
    // Drop this process's cached copy before and after changing the file behind it.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "vandrel.ini");
    if (content.empty()) {
        DeleteFileA(settingsPath().c_str());
    } else {
        writeFile(settingsPath(), content);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "vandrel.ini");
}

Process::~Process() {
    kill();
}

bool Process::start(const std::string& application, const std::string& commandLine,
                    const char* directory) {
    kill();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory, &startup, &info_) != 0;
}

DWORD Process::wait(DWORD timeoutMs) {
    if (info_.hProcess == nullptr) {
        return kStillRunning;
    }
    // Keeps handling this thread's messages meanwhile: a preview child in the other
    // process sends its parent notifications here and waits for them.
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
                return kStillRunning;
            }
            break;
        }
        DWORD r =
            MsgWaitForMultipleObjects(1, &info_.hProcess, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            break;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    DWORD code = kStillRunning;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

bool Process::running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void Process::kill() {
    if (info_.hProcess == nullptr) {
        return;
    }
    if (running()) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = {};
}

bool startScr(Process& process, const std::string& switchText, const std::string& application) {
    // A saver of an earlier case that is still going away would make this one defer.
    for (int i = 0; i < 250 && FindWindowA("WindowsScreenSaverClass", "Screen Saver"); ++i) {
        Sleep(20);
    }
    return process.start(application, "\"" + application + "\" " + switchText);
}

DWORD runScr(const std::string& switchText, DWORD timeoutMs) {
    Process process;
    if (!startScr(process, switchText)) {
        return Process::kStillRunning - 1;
    }
    return process.wait(timeoutMs);
}

namespace {
struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    // Visible means created and initialised: dialogs are shown after WM_INITDIALOG.
    if (owner == search->processId && std::strcmp(name, search->className) == 0 &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND findProcessWindow(DWORD processId, const char* className, DWORD timeoutMs, HWND parent) {
    DWORD start = GetTickCount();
    do {
        WindowSearch search{processId, className, nullptr};
        if (parent != nullptr) {
            EnumChildWindows(parent, matchWindow, reinterpret_cast<LPARAM>(&search));
        } else {
            EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found != nullptr) {
            return search.found;
        }
        pumpFor(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

TestShare::TestShare(size_t size) {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(size), "vandrel_share");
    if (mapping_ != nullptr) {
        view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    }
}

TestShare::~TestShare() {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
    if (mapping_ != nullptr) {
        CloseHandle(mapping_);
    }
}

bool TestShare::waitFor(size_t offset, int32_t value, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    do {
        if (load(offset) == value) {
            return true;
        }
        pumpFor(10);
    } while (GetTickCount() - start < timeoutMs);
    return load(offset) == value;
}

void pumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

PreviewParent::PreviewParent(int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "VandrelTestPreviewArea";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(WS_EX_TOPMOST, "VandrelTestPreviewArea", "area",
                             WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
}

std::string PreviewParent::handleText() const {
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
}

PlatformHook::PlatformHook() : log_(testDirectory() + "\\syscommands.txt") {
    DeleteFileA(log_.c_str());
    module_ = LoadLibraryA((testDirectory() + "\\vandrel_test_hook.dll").c_str());
    auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(module_, "vandrelTestCbtHook")));
    if (module_ != nullptr && proc != nullptr) {
        hook_ = SetWindowsHookExA(WH_CBT, proc, module_, 0);
    }
}

PlatformHook::~PlatformHook() {
    if (hook_ != nullptr) {
        UnhookWindowsHookEx(hook_);
    }
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

HCURSOR shownCursor() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING)) {
        return nullptr;
    }
    return info.hCursor;
}

std::string captureScreen(int x, int y, int width, int height) {
    std::string pixels(static_cast<size_t>(width) * height * 4, '\0');
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    uint32_t* bits = nullptr;
    HBITMAP bitmap = vandrel::createTopDownDib(memory, width, height, &bits);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
        GdiFlush();
        std::memcpy(pixels.data(), bits, pixels.size());
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

uint32_t pixelAt(const std::string& pixels, int width, int x, int y) {
    uint32_t value;
    std::memcpy(&value, pixels.data() + (static_cast<size_t>(y) * width + x) * 4, 4);
    return value & 0xFFFFFFu;
}

}  // namespace saver_test
