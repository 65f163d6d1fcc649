// The clipboard's text read through Qt's clipboard.

#include "ClipboardRead.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace tobrik::app {

namespace {

class QtRead final : public ClipboardRead {
  public:
    std::optional<QString> text(std::chrono::milliseconds) override {
        // Asking for the formats first costs one round trip to the owner,
        // not one per text format that QClipboard::text() would try.
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasText() ? data->text() : QString();
    }
};

} // namespace

std::unique_ptr<ClipboardRead> QtClipboardRead() {
    return std::make_unique<QtRead>();
}

} // namespace tobrik::app
