// Hostile text in the octet boxes of the real main window (QTest, offscreen,
// scripted network): very long texts, full-width and other non-ASCII
// digits, signs, blanks, control characters and NULs, in each start box and
// in the end box. Each is refused with the validation message, nothing is
// probed or logged, and the window sweeps normally afterwards.

#include "FakeNetPlatform.h"
#include "FakeWindowServices.h"
#include "ScriptedWindow.h"
#include "SweepDriver.h"
#include "frmMain.h"
#include "mdlKorvantiser.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using tobrik::test::FakeNetPlatform;
using tobrik::test::FakeWindowServices;

namespace {

const QString kStartInvalid = QStringLiteral("開始IPアドレスの指定が不正です");
const QString kEndInvalid = QStringLiteral("終了IPアドレスの指定が不正です");
constexpr int kEndBox = 4;

struct BadText {
    const char* name;
    QString text;
};

QList<BadText> badTexts() {
    const QString nul(QChar(0));
    return {
        {"100000 digits", QString(100000, '9')},
        {"100000 letters", QString(100000, 'x')},
        {"100000 full-width digits", QString(100000, QChar(0xFF11))},
        {"100000 NULs", QString(100000, QChar(0))},
        // Cut after 32767 characters, this would read as the octet 0.
        {"letter after 32767 zeros", QString(32767, '0') + "x"},
        {"full-width digits", QStringLiteral("１２")},
        {"Arabic-Indic digit", QString(QChar(0x0661))},
        {"superscript one", QString(QChar(0x00B9))},
        {"plus sign", "+1"},
        {"minus sign", "-1"},
        {"minus zero", "-0"},
        {"leading blank", " 1"},
        {"trailing blank", "1 "},
        {"ideographic space", QString(QChar(0x3000)) + "1"},
        {"only blanks", "   "},
        {"tab", "\t1"},
        {"line break", "1\r\n"},
        {"escape", "\x1b"
                   "1"},
        {"delete", "1\x7f"},
        {"NUL after digit", "1" + nul},
        {"NUL between digits", "1" + nul + "2"},
        {"lone NUL", nul},
        {"hexadecimal", "0x1"},
        {"exponent", "1e1"},
        {"decimal point", "1.0"},
        {"lone surrogate", QString(QChar(0xD800))},
        {"replacement character", QString(QChar(0xFFFD))},
    };
}

} // namespace

class OctetInputTest : public QObject, protected tobrik::test::ScriptedWindow {
    Q_OBJECT

  private:
    QLineEdit* box(int index) const {
        return index == kEndBox ? form->txtEIP[3] : form->txtSIP[index];
    }

    void setValidRange() { tobrik::test::EnterRange(*form, {"10", "0", "0", "1"}, "2"); }

  private slots:
    void init() { QVERIFY(openWindow()); }

    void cleanup() { closeWindow(); }

    void hostileTextIsRefused_data() {
        QTest::addColumn<int>("boxIndex");
        QTest::addColumn<QString>("text");
        const char* boxNames[] = {"start 1", "start 2", "start 3", "start 4", "end"};
        for (int index = 0; index <= kEndBox; ++index)
            for (const auto& bad : badTexts())
                QTest::addRow("%s: %s", boxNames[index], bad.name) << index << bad.text;
    }

    void hostileTextIsRefused() {
        QFETCH(int, boxIndex);
        QFETCH(QString, text);
        setValidRange();
        box(boxIndex)->setText(text);
        // The box keeps the whole text, however long.
        QCOMPARE(box(boxIndex)->text(), text);
        form->txtEIP[3]->setFocus();

        QTest::mouseClick(form->cmdStart, Qt::LeftButton);

        QCOMPARE(services->messages.size(), size_t(2)); // the confirmation, then the refusal
        const bool endBox = boxIndex == kEndBox;
        QCOMPARE(services->messages[1].text, endBox ? kEndInvalid : kStartInvalid);
        QCOMPARE(services->messages[1].style, 0x10);
        QVERIFY(form->txtSIP[endBox ? 3 : boxIndex]->hasFocus());
        QCOMPARE(form->cmdStart->text(), QString("開始"));
        QVERIFY(!form->lblChkIP->isVisible());
        QCOMPARE(net->echoes, 0);
        QVERIFY(!QFile::exists(logPath()));
        QVERIFY(services->viewerStarts.isEmpty());

        // The window stays usable: with the box corrected a sweep runs.
        setValidRange();
        QTest::mouseClick(form->cmdStart, Qt::LeftButton);
        QCOMPARE(net->echoes, 2);
        QFile log(logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().count("\r\n"), 2);
        QCOMPARE(services->viewerStarts.size(), 1);
    }

    // The mirroring of a start box into its end box copes with the same
    // texts: the end box shows what the start box holds.
    void hostileTextIsMirrored() {
        for (const auto& bad : badTexts()) {
            form->txtSIP[0]->setText(bad.text);
            QCOMPARE(form->txtEIP[0]->text(), form->txtSIP[0]->text());
        }
    }
};

QTEST_MAIN(OctetInputTest)
#include "OctetInputTest.moc"
