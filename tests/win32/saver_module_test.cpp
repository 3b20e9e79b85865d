// The module's resources, read through the platform's own resource functions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/win32/saver_harness.h"

using namespace saver_test;

namespace {

struct ModuleData {
    HMODULE module = nullptr;
    ModuleData() { module = LoadLibraryExA(scrPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE); }
    ~ModuleData() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

// The version functions live in version.dll, which the test program does not link.
struct VersionApi {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    HMODULE module = LoadLibraryA("version.dll");
    SizeFn size = reinterpret_cast<SizeFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoSizeA")));
    InfoFn info = reinterpret_cast<InfoFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoA")));
    QueryFn query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "VerQueryValueA")));
};
const VersionApi& versionApi() {
    static VersionApi api;
    return api;
}
BOOL queryVersion(LPCVOID block, LPCSTR name, LPVOID* value, PUINT length) {
    return versionApi().query(block, name, value, length);
}

std::string versionString(const std::vector<char>& block, const char* name) {
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\040904B0\\%s", name);
    void* value = nullptr;
    UINT length = 0;
    if (!queryVersion(block.data(), query, &value, &length) || value == nullptr) {
        return "<missing>";
    }
    return std::string(static_cast<const char*>(value));
}

// Reads a DIALOG (not DIALOGEX) template: header, then per item style, position, id,
// class and text.
struct DialogItem {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    const wchar_t* className;
    std::wstring text;
};

const WORD* readSzOrOrd(const WORD* p, std::wstring& out, WORD* ordinal = nullptr) {
    if (*p == 0xFFFF) {
        if (ordinal != nullptr) {
            *ordinal = p[1];
        }
        static const wchar_t* atoms[] = {L"Button", L"Edit", L"Static"};
        WORD atom = p[1];
        out = atom >= 0x80 && atom <= 0x82 ? atoms[atom - 0x80] : L"?";
        return p + 2;
    }
    out.clear();
    while (*p != 0) {
        out.push_back(static_cast<wchar_t>(*p++));
    }
    return p + 1;
}

const WORD* alignDword(const WORD* p) {
    return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
}

}  // namespace

TEST(SaverModule, DescriptionStringAndVersionBlock) {
    ModuleData data;
    ASSERT_NE(data.module, nullptr);
    char text[64] = {};
    ASSERT_GT(LoadStringA(data.module, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "Vandrel");

    std::string path = scrPath();
    DWORD handle = 0;
    DWORD size = versionApi().size(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(versionApi().info(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(queryVersion(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020002u);
    EXPECT_EQ(versionString(block, "FileDescription"), "Vandrel");
    EXPECT_EQ(versionString(block, "InternalName"), "Vandrel");
    EXPECT_EQ(versionString(block, "OriginalFilename"), "Vandrel.scr");
    EXPECT_EQ(versionString(block, "CompanyName"), " ");
    WORD* translation = nullptr;
    ASSERT_TRUE(queryVersion(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    // No icon: the window class gets none.
    EXPECT_EQ(FindResourceA(data.module, MAKEINTRESOURCEA(100), RT_GROUP_ICON), nullptr);
}

// The module's manifest (resource 1 of type 24) as the loader reads it: the system's own
// reader makes an activation context of it and answers for the settings by namespace, so
// a malformed manifest, a wrong namespace or a setting outside windowsSettings shows.
// (Wine reports every process per-monitor aware whatever its manifest says, so the
// running saver's awareness cannot tell.)
TEST(SaverModule, ManifestDeclaresPerMonitorDpiAwareness) {
    const std::string path = scrPath();
    const std::wstring widePath(path.begin(), path.end());
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = widePath.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    // Declared from Windows 8 on; the build targets Windows 7.
    using QueryFn =
        BOOL(WINAPI*)(DWORD, HANDLE, const wchar_t*, const wchar_t*, wchar_t*, SIZE_T, SIZE_T*);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
    ASSERT_NE(query, nullptr);
    const auto setting = [&](const wchar_t* schema, const wchar_t* name) {
        wchar_t value[128] = {};
        SIZE_T written = 0;
        return query(0, context, schema, name, value, 128, &written) ? std::wstring(value)
                                                                     : std::wstring(L"<none>");
    };
    // Per monitor (version 2 where the system knows it), with the older setting as the
    // fallback for systems that read only that one.
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
              L"true/pm");
    ReleaseActCtx(context);
}

TEST(SaverModule, SettingsDialogTemplate) {
    ModuleData data;
    ASSERT_NE(data.module, nullptr);
    HRSRC found = FindResourceExA(data.module, RT_DIALOG, MAKEINTRESOURCEA(2003),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr);
    auto* tmpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(data.module, found)));
    ASSERT_NE(tmpl, nullptr);
    EXPECT_EQ(tmpl->style,
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(tmpl->dwExtendedStyle, 0u);
    EXPECT_EQ(tmpl->x, 0);
    EXPECT_EQ(tmpl->y, 0);
    EXPECT_EQ(tmpl->cx, 189);
    EXPECT_EQ(tmpl->cy, 104);  // grown for the size list below the original controls
    ASSERT_EQ(tmpl->cdit, 7);

    const WORD* p = reinterpret_cast<const WORD*>(tmpl + 1);
    std::wstring menu, windowClass, caption, font;
    p = readSzOrOrd(p, menu);
    p = readSzOrOrd(p, windowClass);
    p = readSzOrOrd(p, caption);
    EXPECT_TRUE(menu.empty());
    EXPECT_TRUE(windowClass.empty());
    EXPECT_EQ(caption, L"Vandrel ScreenSaver Settings");
    WORD points = *p++;
    p = readSzOrOrd(p, font);
    EXPECT_EQ(points, 8);
    EXPECT_EQ(font, L"MS Sans Serif");

    const DWORD base = WS_CHILD | WS_VISIBLE;
    const DialogItem expected[] = {
        {base | WS_TABSTOP | BS_DEFPUSHBUTTON, 13, 59, 50, 14, 1, L"Button", L"OK"},
        {base | WS_TABSTOP | BS_PUSHBUTTON, 127, 59, 50, 14, 2, L"Button", L"Cancel"},
        {base | WS_GROUP | SS_LEFT, 44, 28, 64, 11, 1003, L"Static", L"Minutes until blank:"},
        {base | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL | ES_LEFT, 114, 26, 36, 14,
         1001, L"Edit", L""},
        {base | WS_TABSTOP | BS_AUTOCHECKBOX, 42, 6, 85, 12, 1002, L"Button",
         L"Go to blank screen"},
        {base | WS_GROUP | SS_LEFT, 44, 84, 64, 11, 1004, L"Static", L"Dashboard size:"},
        {base | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 114, 82, 62, 80, 1005, L"ComboBox",
         L""},
    };
    for (const DialogItem& want : expected) {
        p = alignDword(p);
        auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        EXPECT_EQ(item->style, want.style) << item->id;
        EXPECT_EQ(item->dwExtendedStyle, 0u) << item->id;
        EXPECT_EQ(item->x, want.x) << item->id;
        EXPECT_EQ(item->y, want.y) << item->id;
        EXPECT_EQ(item->cx, want.cx) << item->id;
        EXPECT_EQ(item->cy, want.cy) << item->id;
        EXPECT_EQ(item->id, want.id);
        p = reinterpret_cast<const WORD*>(item + 1);
        std::wstring itemClass, itemText;
        p = readSzOrOrd(p, itemClass);
        p = readSzOrOrd(p, itemText);
        EXPECT_EQ(_wcsicmp(itemClass.c_str(), want.className), 0) << item->id;
        EXPECT_EQ(itemText, want.text) << item->id;
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const char*>(p) + extra);
    }
}
