// The clipboard's contents for a text on Linux and the other Unix systems:
// the text alone.

#include "ClipboardData.h"

#include <QMimeData>

namespace tobrik::app {

QMimeData* ClipboardTextData(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

} // namespace tobrik::app
