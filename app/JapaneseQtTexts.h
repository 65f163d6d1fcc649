#pragma once
// The program's own Japanese for the texts of Qt that the window shows,
// where no catalog of Qt's translations is installed.

#include <QTranslator>

namespace tobrik::app {

class JapaneseQtTexts final : public QTranslator {
  public:
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};

} // namespace tobrik::app
