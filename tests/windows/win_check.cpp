// Checks what only Windows shows of tobrik.exe, through the Win32 API:
//   win_check frame TITLE   the visible window titled TITLE: a fixed frame with
//                           title bar, window menu and close box, no minimize or
//                           maximize box, no taskbar button (owned by a hidden
//                           window, neither WS_EX_APPWINDOW nor a tool window)
//   win_check clipboard     the DWORD 0 that keeps the clipboard's text out of
//                           the clipboard history and the cloud clipboard
//   win_check resources EXE VERSION
//                           EXE's version record (1.04: 1,4,0,0), icon, manifest
//   win_check freeze-clipboard  a frozen clipboard owner: takes the clipboard,
//                           prints "ready" and never renders (WM_RENDERFORMAT)
//   win_check hold-clipboard  puts "Tobrik STOP" on the clipboard and at once
//                           holds it open for a second
// Prints "ok   - ..." or "FAIL - ..." per check; exits 1 when one failed, 2
// when the window or file is not there.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool passed, const char* what) {
    std::printf("%s - %s\n", passed ? "ok  " : "FAIL", what);
    if (!passed)
        ++failures;
}

std::string narrow(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

struct Search {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (IsWindowVisible(window) && search->title == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

int checkFrame(const std::wstring& title) {
    // The hidden owner may bear the same title; the window is the visible one.
    Search search{title};
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::printf("FAIL - no visible window titled %s\n", narrow(title).c_str());
        return 2;
    }
    const HWND window = search.found;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    std::printf("# style 0x%08lx, extended style 0x%08lx\n", static_cast<unsigned long>(style),
                static_cast<unsigned long>(exStyle));
    check((style & WS_CAPTION) == WS_CAPTION, "a title bar (WS_CAPTION)");
    check(style & WS_SYSMENU, "a window menu and close box (WS_SYSMENU)");
    check(!(style & WS_THICKFRAME), "not resizable (no WS_THICKFRAME)");
    check(!(style & WS_MINIMIZEBOX), "no minimize box (no WS_MINIMIZEBOX)");
    check(!(style & WS_MAXIMIZEBOX), "no maximize box (no WS_MAXIMIZEBOX)");
    check(!(style & WS_CHILD), "a top-level window (no WS_CHILD)");
    check(!(exStyle & WS_EX_APPWINDOW), "not forced onto the taskbar (no WS_EX_APPWINDOW)");
    check(!(exStyle & WS_EX_TOOLWINDOW), "not a tool window (no WS_EX_TOOLWINDOW)");
    const HWND owner = GetWindow(window, GW_OWNER);
    check(owner != nullptr, "owned, so it has no taskbar button (GW_OWNER)");
    check(owner && !IsWindowVisible(owner), "its owner is hidden");
    RECT client{};
    GetClientRect(window, &client);
    std::printf("# client area %ld x %ld\n", client.right, client.bottom);
    check(client.right == 240 && client.bottom == 212, "a client area of 240 x 212");
    // Centred as Windows places windows: frame included, in the work area.
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const long dx = (frame.left + frame.right) - (work.left + work.right);
    const long dy = (frame.top + frame.bottom) - (work.top + work.bottom);
    std::printf("# window %ld,%ld-%ld,%ld in the work area %ld,%ld-%ld,%ld\n", frame.left,
                frame.top, frame.right, frame.bottom, work.left, work.top, work.right, work.bottom);
    // Centres within 2 px (dx, dy are twice the offset): the frame's height
    // is estimated before it is first drawn.
    check(dx >= -4 && dx <= 4 && dy >= -4 && dy <= 4, "centred on the screen, frame included");
    return failures ? 1 : 0;
}

std::wstring versionString(const std::vector<char>& record, const wchar_t* name) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), path.c_str(), &value, &length) || !value)
        return L"(missing)";
    return static_cast<const wchar_t*>(value);
}

void checkString(const std::vector<char>& record, const wchar_t* name, const wchar_t* expected) {
    const std::wstring value = versionString(record, name);
    const std::string what =
        narrow(name) + " is \"" + narrow(expected) + "\" (found \"" + narrow(value) + "\")";
    check(value == expected, what.c_str());
}

void checkVersionRecord(const std::wstring& file, const std::wstring& version) {
    unsigned major = 0, minor = 0;
    std::swscanf(version.c_str(), L"%u.%u", &major, &minor);
    const DWORD numbers = major << 16 | minor;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    check(size > 0, "a version record");
    if (size == 0)
        return;
    std::vector<char> record(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, record.data()))
        return check(false, "the version record is readable");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        check(fixed->dwFileVersionMS == numbers && fixed->dwFileVersionLS == 0,
              "file version MAJOR,MINOR,0,0");
        check(fixed->dwProductVersionMS == numbers && fixed->dwProductVersionLS == 0,
              "product version MAJOR,MINOR,0,0");
        check(fixed->dwFileType == VFT_APP, "an application");
    } else {
        check(false, "fixed version information");
    }

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    const bool hasTranslation = VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                                               reinterpret_cast<void**>(&translation), &length) &&
                                length >= sizeof(Translation);
    check(hasTranslation && translation->language == 0x0411,
          "language Japanese (0x0411) in the translation table");
    checkString(record, L"FileVersion", version.c_str());
    checkString(record, L"ProductVersion", version.c_str());
    checkString(record, L"InternalName", L"Tobrik");
    checkString(record, L"ProductName", L"dorIzezovedivu");
}

// The name of the first resource: a number, or a text valid only during the
// call, so it is copied.
struct ResourceName {
    bool found = false;
    WORD id = 0;
    std::wstring text;
    LPCWSTR get() const { return text.empty() ? MAKEINTRESOURCEW(id) : text.c_str(); }
};

BOOL CALLBACK firstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR data) {
    auto* first = reinterpret_cast<ResourceName*>(data);
    first->found = true;
    if (IS_INTRESOURCE(name))
        first->id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    else
        first->text = name;
    return FALSE;
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

int checkClipboard() {
    if (!OpenClipboard(nullptr))
        return 2;
    for (const wchar_t* name : {L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"}) {
        const HANDLE data = GetClipboardData(RegisterClipboardFormatW(name));
        const auto* value = data && GlobalSize(data) >= sizeof(DWORD)
                                ? static_cast<const DWORD*>(GlobalLock(data))
                                : nullptr;
        check(value && *value == 0, (narrow(name) + " is the DWORD 0").c_str());
    }
    CloseClipboard();
    return failures ? 1 : 0;
}

void checkIcon(HMODULE module) {
    ResourceName group;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, firstName,
                       reinterpret_cast<LONG_PTR>(&group));
    const HRSRC groupInfo =
        group.found ? FindResourceW(module, group.get(), MAKEINTRESOURCEW(14)) : nullptr;
    const auto* header =
        groupInfo ? static_cast<const GroupHeader*>(LockResource(LoadResource(module, groupInfo)))
                  : nullptr;
    check(header != nullptr, "an icon (RT_GROUP_ICON)");
    if (header) {
        const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
        std::printf("# the icon holds %u image(s)\n", header->count);
        // Each size Windows draws an icon at (a width of 0 stands for 256),
        // and the window's 128-pixel picture.
        const GroupEntry* large = nullptr;
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            const GroupEntry* found = nullptr;
            for (WORD i = 0; i < header->count; ++i)
                if (entries[i].width == size % 256 && entries[i].height == size % 256)
                    found = &entries[i];
            check(found != nullptr,
                  ("a " + std::to_string(size) + " px image in the icon").c_str());
            if (size == 128)
                large = found;
        }
        const HRSRC image =
            large ? FindResourceW(module, MAKEINTRESOURCEW(large->id), MAKEINTRESOURCEW(3))
                  : nullptr;
        const auto* bitmap =
            image ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)))
                  : nullptr;
        // An icon image stores its colour bitmap and its 1-bit mask one
        // above the other: twice the height.
        check(bitmap && bitmap->biWidth == 128 && bitmap->biHeight == 256 &&
                  bitmap->biBitCount == 32,
              "the 128 x 128 image has 32-bit colour with alpha and a mask");
        // Windows' own choice for a 128-pixel icon finds that image.
        const int chosen =
            LookupIconIdFromDirectoryEx(reinterpret_cast<PBYTE>(const_cast<GroupHeader*>(header)),
                                        TRUE, 128, 128, LR_DEFAULTCOLOR);
        check(large && chosen == large->id, "Windows picks it for a 128-pixel icon");
    }
}

void checkManifest(HMODULE module) {
    const HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    const auto* data =
        info ? static_cast<const char*>(LockResource(LoadResource(module, info))) : nullptr;
    check(data != nullptr, "an application manifest (RT_MANIFEST 1)");
    const std::string text = data ? std::string(data, SizeofResource(module, info)) : "";
    // asInvoker, Windows 10 and 11, long paths; no code page of its own.
    for (const char* part :
         {"level=\"asInvoker\"", "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
          ">true</longPathAware>"})
        check(text.find(part) != std::string::npos, part);
    check(text.find("<activeCodePage") == std::string::npos, "no activeCodePage");
}

int freezeClipboard() {
    const HWND owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    if (!OpenClipboard(owner) || !EmptyClipboard())
        return 2;
    SetClipboardData(CF_UNICODETEXT, nullptr);
    CloseClipboard();
    std::puts("ready");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

int holdClipboard() {
    static const wchar_t kText[] = L"Tobrik STOP";
    const auto open = [] {
        for (int tries = 0; tries < 200; ++tries, Sleep(10))
            if (OpenClipboard(nullptr))
                return true;
        return false;
    };
    const HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, sizeof kText);
    check(data && open(), "the clipboard opens within 2 s");
    if (failures)
        return 1;
    std::memcpy(GlobalLock(data), kText, sizeof kText);
    GlobalUnlock(data);
    check(EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, data), "it takes the stop text");
    CloseClipboard();
    check(!failures && open(), "it opens again within 2 s");
    if (failures)
        return 1;
    Sleep(1000);
    CloseClipboard();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"frame") == 0)
        return checkFrame(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"clipboard") == 0)
        return checkClipboard();
    if (argc == 2 && std::wcscmp(argv[1], L"freeze-clipboard") == 0)
        return freezeClipboard();
    if (argc == 2 && std::wcscmp(argv[1], L"hold-clipboard") == 0)
        return holdClipboard();
    if (argc == 4 && std::wcscmp(argv[1], L"resources") == 0) {
        const HMODULE module = LoadLibraryExW(
            argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (!module) {
            std::printf("FAIL - no executable %s\n", narrow(argv[2]).c_str());
            return 2;
        }
        checkVersionRecord(argv[2], argv[3]);
        checkIcon(module);
        checkManifest(module);
        FreeLibrary(module);
        return failures ? 1 : 0;
    }
    std::fprintf(stderr, "usage: win_check frame TITLE | clipboard | resources EXE VERSION | "
                         "freeze-clipboard | hold-clipboard\n");
    return 2;
}
