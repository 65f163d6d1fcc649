#include "DesktopPlatform.h"

#include <QDir>
#include <QMimeData>
#include <windows.h>

namespace tobrik::app {

void LimitLibrarySearch() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

QString ViewerProgram() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    // Without the system folder no viewer is started: the start fails and
    // says so, rather than search the current folder.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return QDir::toNativeSeparators(QString::fromWCharArray(folder, int(length)) + "/notepad.exe");
}

QMimeData* ClipboardTextData(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    // Registered clipboard formats that Windows reads as a DWORD: 0 keeps
    // the text out of the clipboard history (Win+V) and the cloud clipboard.
    // Qt registers a format that is no MIME type under its own name and
    // puts these bytes there as they are.
    const QByteArray zero(sizeof(DWORD), '\0');
    for (const char* format : {"CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"})
        data->setData(format, zero);
    return data;
}

} // namespace tobrik::app
