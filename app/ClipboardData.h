#pragma once
// What the program puts on the clipboard for a text (the stop text): the
// text for every program that reads it and, on Windows, the marks that keep
// it out of the clipboard history and the cloud clipboard. Each system's
// part is in ClipboardDataUnix.cpp or ClipboardDataWindows.cpp.

#include <QString>

class QMimeData;

namespace tobrik::app {

// The clipboard's contents for text; the caller owns them.
QMimeData* ClipboardTextData(const QString& text);

} // namespace tobrik::app
