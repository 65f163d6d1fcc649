// Planted as NOTEPAD.EXE where Tobrik starts; run, it leaves NOTEPAD.EXE.ran beside itself.
#include <windows.h>

int main(void) {
    wchar_t mark[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(NULL, mark, MAX_PATH);
    lstrcpyW(mark + length, L".ran");
    CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    return 0;
}
