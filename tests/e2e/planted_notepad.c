// A NOTEPAD.EXE that someone left in the folder Tobrik is started from:
// when it runs, it leaves the file NOTEPAD.EXE.ran beside itself.
#include <windows.h>

int main(void) {
    wchar_t mark[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(NULL, mark, MAX_PATH);
    lstrcpyW(mark + length, L".ran");
    CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    return 0;
}
