#pragma once
// Driving the real main window in tests: entering a range, starting a sweep
// with a click, and reading back what a control shows or says to a screen
// reader and what the sweep wrote to the result log.

#include "frmMain.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTextDocument>

namespace tobrik::test {

// Types the four start octets (mirrored into the end row) and the end octet.
inline void EnterRange(frmMain& form, const QStringList& start, const QString& endOctet) {
    for (int i = 0; i < 4; ++i)
        form.txtSIP[i]->setText(start[i]);
    form.txtEIP[3]->setText(endOctet);
}

inline void ClickStart(frmMain& form) {
    QTest::mouseClick(form.cmdStart, Qt::LeftButton);
}

// What a label shows on the screen: the text as it is when the label takes
// it as plain text, else the text of the rich-text document it renders.
inline QString ShownText(QLabel* label) {
    const QString text = label->text();
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich)
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

// What a screen reader hears as the widget's name.
inline QString Spoken(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The log's lines without their CR LF; {"<unterminated>"} when the text
// does not end with one, nothing when there is no log.
inline QStringList LogLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    if (!text.isEmpty() && !text.endsWith("\r\n"))
        return {"<unterminated>"};
    auto lines = text.split("\r\n");
    lines.removeLast();
    return lines;
}

// The log's lines without their time stamps.
inline QStringList LogRecords(const QString& path) {
    QStringList records;
    for (const auto& line : LogLines(path))
        records << line.section(',', 1);
    return records;
}

} // namespace tobrik::test
