#include "DesktopPlatform.h"

#include <QMimeData>

namespace tobrik::app {

void LimitLibrarySearch() {}

QString ViewerProgram() {
    return "xdg-open";
}

QMimeData* ClipboardTextData(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

} // namespace tobrik::app
