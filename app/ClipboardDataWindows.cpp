// The clipboard's contents for a text on Windows: the text, kept out of the
// clipboard history and the cloud clipboard.

#include "ClipboardData.h"

#include <QMimeData>
#include <windows.h>

namespace tobrik::app {

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
