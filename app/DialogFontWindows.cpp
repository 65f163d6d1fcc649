// The dialog font on Windows: the UI faces of a Japanese Windows.

#include "DialogFont.h"

namespace tobrik::app {

QFont DialogFont() {
    QFont font;
    // MS UI Gothic, the classic dialog face, then those of later versions.
    // The system's message font may be one without kana, or a Western one
    // that is missing.
    font.setFamilies({"MS UI Gothic", "Yu Gothic UI", "Meiryo UI"});
    // Glyph advances as the face designs them (DirectWrite), not widened to
    // whole pixels by GDI's hinting, which would clip "255" in an octet box.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSize(kDialogPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace tobrik::app
