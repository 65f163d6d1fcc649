// The program's own Japanese for Qt's texts, from the table in UserTexts.h.

#include "JapaneseQtTexts.h"

#include "UserTexts.h"

#include <cstring>

namespace tobrik::app {

QString JapaneseQtTexts::translate(const char* context, const char* sourceText, const char*,
                                   int) const {
    if (!context || !sourceText)
        return {};
    for (const auto& text : text::kQtTextsJapanese)
        if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0)
            return QString::fromUtf8(text.japanese);
    return {}; // Qt keeps its own text
}

} // namespace tobrik::app
