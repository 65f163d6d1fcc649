// The dialog font on Linux and the other Unix systems: IPA's proportional
// Gothic.

#include "DialogFont.h"

namespace tobrik::app {

QFont DialogFont() {
    QFont font;
    // IPAPGothic has proportional kana; VL PGothic (full-width kana) is the
    // fallback that still shows every character.
    font.setFamilies({"IPAPGothic", "VL PGothic"});
    font.setPointSize(kDialogPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace tobrik::app
