#pragma once
// Driving the real main window in tests: entering a range, starting a sweep
// with a click, and reading back what a label shows and what the sweep
// wrote to the result log.

#include "frmMain.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

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

// What a label shows, as a screen reader reads it: rich text without its
// markup, plain text as it is.
inline QString ShownText(QLabel* label) {
    if (label->text().isEmpty())
        return {}; // a screen reader would name the frame instead
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(label);
    return view ? view->text(QAccessible::Name) : QString();
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
