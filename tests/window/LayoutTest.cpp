// The main window as laid out: every control's place, caption and state,
// the keyboard focus order, the fixed frame, and that every caption fits
// its control in the dialog font the application sets up.

#include "ApplicationSetup.h"
#include "ScriptedWindow.h"
#include "frmMain.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

// 15 twips make one device-independent pixel.
int px(int twips) {
    return twips / 15;
}

// The WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The colours a box was drawn in: its background, the most common colour
// inside its frame, and the pixel of its text that stands out most from it.
std::pair<QColor, QColor> boxAndTextColours(const QImage& image) {
    const QRect inside = image.rect().adjusted(3, 3, -3, -3);
    std::map<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y)];
    const QColor box = QColor(std::max_element(counts.begin(), counts.end(), [](auto a, auto b) {
                                  return a.second < b.second;
                              })->first);
    QColor text = box;
    for (const auto& [rgb, count] : counts)
        if (contrastRatio(QColor(rgb), box) > contrastRatio(text, box))
            text = QColor(rgb);
    return {box, text};
}

// A desktop palette over Fusion's: window and box colours, text, and the
// text of disabled controls.
QPalette desktopPalette(const char* window, const char* base, const char* text,
                        const char* disabledText) {
    QPalette palette = QApplication::style()->standardPalette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, QColor(window));
        palette.setColor(group, QPalette::Button, QColor(window));
        palette.setColor(group, QPalette::Base,
                         QColor(group == QPalette::Disabled ? window : base));
        const bool disabled = group == QPalette::Disabled;
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, QColor(disabled ? disabledText : text));
    }
    return palette;
}

} // namespace

class LayoutTest : public QObject, protected tobrik::test::ScriptedWindow {
    Q_OBJECT

  private:
    template <typename T> static T* control(QWidget& form, const QString& name) {
        return form.findChild<T*>(name);
    }

    static QString focusName() {
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QString("(none)");
    }

  private slots:
    void initTestCase() {
        QVERIFY2(QLocale().name().startsWith("ja"), "needs LANG=ja_JP.UTF-8, as CTest sets it");
        tobrik::app::SetUpApplication(*qobject_cast<QApplication*>(qApp));
    }
    void cleanupTestCase() { closeWindow(); }

    void controlsMatchTheDesign_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("tabIndex");

        auto row = [](const char* name, const char* kind, const char* container,
                      const char* caption, int left, int top, int width, int height, bool visible,
                      bool enabled, int tabIndex) {
            QTest::newRow(name) << QString(name) << QString(kind) << QString(container)
                                << QString::fromUtf8(caption) << QRect(left, top, width, height)
                                << visible << enabled << tabIndex;
        };
        row("Frame2", "QGroupBox", "frmMain", "ｺﾝﾋﾟｭｰﾀ名の取得", 180, 945, 3180, 525, true, true,
            26);
        row("optPCName_1", "QRadioButton", "Frame2", "しない", 1935, 225, 975, 225, true, true, 3);
        row("optPCName_0", "QRadioButton", "Frame2", "する", 795, 210, 975, 225, true, true, 2);
        row("Frame1", "QGroupBox", "frmMain", "My Computer", 165, 1530, 3180, 990, true, true, 19);
        row("lblHostName", "QLabel", "Frame1", "", 765, 570, 2310, 240, true, true, 23);
        row("lblMyIPAddr", "QLabel", "Frame1", "", 765, 270, 2310, 225, true, true, 22);
        // Grown to the right, up to lblHostName, so that "NAME：" fits.
        row("lblName", "QLabel", "Frame1", "NAME：", 150, 570, 615, 270, true, true, 21);
        row("lblMyIP", "QLabel", "Frame1", "IP：", 480, 270, 300, 210, true, true, 20);
        row("txtEIP_3", "QLineEdit", "frmMain", "", 2880, 570, 420, 270, true, true, 1);
        row("txtEIP_2", "QLineEdit", "frmMain", "", 2310, 570, 420, 270, true, false, 9);
        row("txtEIP_1", "QLineEdit", "frmMain", "", 1725, 570, 420, 270, true, false, 10);
        row("txtEIP_0", "QLineEdit", "frmMain", "", 1155, 570, 420, 270, true, false, 8);
        row("txtSIP_3", "QLineEdit", "frmMain", "", 2880, 150, 420, 270, true, true, 0);
        row("txtSIP_2", "QLineEdit", "frmMain", "", 2310, 150, 420, 270, true, true, 7);
        row("txtSIP_1", "QLineEdit", "frmMain", "", 1725, 150, 420, 270, true, true, 6);
        row("cmdStart", "QPushButton", "frmMain", "開始", 2895, 2655, 615, 375, true, true, 4);
        row("txtSIP_0", "QLineEdit", "frmMain", "", 1155, 150, 420, 270, true, true, 5);
        // lblChkIP is grown to the right so that a full address fits, and
        // lblResult moved right by as much to stay clear of it.
        row("lblResult", "QLabel", "frmMain", "--> OK", 1770, 2745, 795, 240, false, true, 25);
        row("lblChkIP", "QLabel", "frmMain", "255.255.255.255", 225, 2745, 1515, 255, false, true,
            24);
        row("lblDot_5", "QLabel", "frmMain", "．", 2760, 645, 165, 210, true, true, 18);
        row("lblDot_4", "QLabel", "frmMain", "．", 2205, 645, 165, 210, true, true, 17);
        row("lblDot_3", "QLabel", "frmMain", "．", 1620, 630, 165, 210, true, true, 16);
        row("lblEnd", "QLabel", "frmMain", "エンドIP：", 345, 600, 720, 225, true, true, 15);
        row("lblDot_2", "QLabel", "frmMain", "．", 2775, 225, 165, 210, true, true, 14);
        row("lblDot_1", "QLabel", "frmMain", "．", 2220, 225, 165, 210, true, true, 13);
        row("lblDot_0", "QLabel", "frmMain", "．", 1635, 210, 165, 210, true, true, 12);
        row("lblStart", "QLabel", "frmMain", "スタートIP：", 195, 210, 870, 225, true, true, 11);
    }

    void controlsMatchTheDesign() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, container);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        QFETCH(int, tabIndex);

        QVERIFY(openWindow());
        QWidget* widget = control<QWidget>(*form, name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->metaObject()->className(), kind);
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(),
                 QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
        QCOMPARE(widget->isVisible(), visible);
        QCOMPARE(widget->isEnabled(), enabled);
        QCOMPARE(widget->property("tabIndex").toInt(), tabIndex);
        QVERIFY(widget->toolTip().isEmpty());

        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QVERIFY(label->alignment() & Qt::AlignLeft);
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
            QVERIFY(label->autoFillBackground());
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            QCOMPARE(box->title(), caption);
            QCOMPARE(box->focusPolicy(), Qt::NoFocus);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
            QVERIFY(!button->text().contains('&'));
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(edit->text(), caption);
            QCOMPARE(edit->maxLength(), std::numeric_limits<int>::max());
            QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
        }
    }

    void accessibleNamesSayWhatEachControlIs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken");
        auto row = [](const QString& name, const QString& spoken) {
            QTest::newRow(qPrintable(name)) << name << spoken;
        };
        for (int i = 0; i < 4; ++i) {
            row(QString("txtSIP_%1").arg(i), QString("スタートIP 第%1オクテット").arg(i + 1));
            row(QString("txtEIP_%1").arg(i), QString("エンドIP 第%1オクテット").arg(i + 1));
        }
        row("optPCName_0", "コンピュータ名の取得 する");
        row("optPCName_1", "コンピュータ名の取得 しない");
        row("Frame2", "コンピュータ名の取得");
        row("Frame1", "My Computer");
        row("cmdStart", "開始");
        // Labels that show a value say what it is, then the value.
        row("lblMyIPAddr", "IPアドレス");
        row("lblHostName", "コンピュータ名");
        row("lblChkIP", "確認中のIPアドレス 255.255.255.255");
        row("lblResult", "確認結果 --> OK");
        row("lblStart", "スタートIP：");
        row("lblEnd", "エンドIP：");
        row("lblMyIP", "IP：");
        row("lblName", "NAME：");
        for (int i = 0; i < 6; ++i)
            row(QString("lblDot_%1").arg(i), "．");
        row("frmMain", "Tobrik");
    }

    void accessibleNamesSayWhatEachControlIs() {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        QVERIFY(openWindow());
        QWidget* widget = name == "frmMain" ? form.get() : control<QWidget>(*form, name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(tobrik::test::Spoken(widget), spoken);
    }

    void textBoxesCoverTheLabelsTheyOverlap() {
        QVERIFY(openWindow());
        int overlaps = 0;
        for (QLabel* label : form->findChildren<QLabel*>()) {
            for (QLineEdit* box : form->findChildren<QLineEdit*>()) {
                if (box->parentWidget() != label->parentWidget() || !label->isVisible())
                    continue;
                const QRect shared = label->geometry() & box->geometry();
                if (shared.isEmpty())
                    continue;
                ++overlaps;
                QCOMPARE(label->parentWidget()->childAt(shared.center()), box);
            }
        }
        // Each dot label reaches under the box to its right.
        QCOMPARE(overlaps, 6);
    }

    void focusChainFollowsTheTabIndexes_data() {
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QStringList>("forward");
        const QStringList rest = {"cmdStart", "txtSIP_0", "txtSIP_1", "txtSIP_2", "txtSIP_3"};
        QTest::newRow("しない chosen") << 1 << QStringList{"txtEIP_3", "optPCName_1"} + rest;
        QTest::newRow("する chosen") << 0 << QStringList{"txtEIP_3", "optPCName_0"} + rest;
    }

    void focusChainFollowsTheTabIndexes() {
        QFETCH(int, chosen);
        QFETCH(QStringList, forward);
        QVERIFY(openWindow());
        QCOMPARE(focusName(), QString("txtSIP_3")); // where a new window puts it
        form->optPCName[chosen]->setChecked(true);

        QStringList visited;
        for (int i = 0; i < forward.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focusName();
        }
        QCOMPARE(visited, forward);

        QStringList backward;
        for (int i = 0; i < forward.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward << focusName();
        }
        QStringList expected(forward.rbegin() + 1, forward.rend());
        expected << "txtSIP_3";
        QCOMPARE(backward, expected);
    }

    void arrowKeysMoveTheChoiceWithinTheGroup() {
        QVERIFY(openWindow());
        form->optPCName[1]->setFocus();
        QTest::keyClick(form->optPCName[1], Qt::Key_Left);
        QVERIFY(form->optPCName[0]->isChecked());
        QCOMPARE(focusName(), QString("optPCName_0"));
        QTest::keyClick(form->optPCName[0], Qt::Key_Down);
        QVERIFY(form->optPCName[1]->isChecked());
        QCOMPARE(focusName(), QString("optPCName_1"));
    }

    // Enter presses the command button that has the focus, as on Windows;
    // the button is neither default nor cancel button, so Enter and Esc
    // elsewhere press nothing.
    void keysPressOnlyTheFocusedButton_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        for (const char* box : {"txtSIP_3", "txtEIP_3", "txtSIP_0"}) {
            QTest::addRow("Return in %s", box) << QString(box) << int(Qt::Key_Return) << 0;
            QTest::addRow("keypad Enter in %s", box) << QString(box) << int(Qt::Key_Enter) << 0;
            QTest::addRow("Esc in %s", box) << QString(box) << int(Qt::Key_Escape) << 0;
        }
        QTest::newRow("Return in optPCName_1") << "optPCName_1" << int(Qt::Key_Return) << 0;
        QTest::newRow("Return on cmdStart") << "cmdStart" << int(Qt::Key_Return) << 1;
        QTest::newRow("keypad Enter on cmdStart") << "cmdStart" << int(Qt::Key_Enter) << 1;
        QTest::newRow("Space on cmdStart") << "cmdStart" << int(Qt::Key_Space) << 1;
        QTest::newRow("Esc on cmdStart") << "cmdStart" << int(Qt::Key_Escape) << 0;
    }

    void keysPressOnlyTheFocusedButton() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, clicks);
        QVERIFY(openWindow());
        services->answers = {tobrik::app::kAnswerCancel}; // a click ends at the confirmation
        QSignalSpy clicked(form->cmdStart, &QPushButton::clicked);
        control<QWidget>(*form, focus)->setFocus();
        QCOMPARE(focusName(), focus);
        const auto modifier = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifier);
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(int(services->messages.size()), clicks);
        QVERIFY(form->isVisible());
    }

    void windowHasAFixedDialogFrame() {
        QVERIFY(openWindow());
        QCOMPARE(form->size(), QSize(240, 212));
        QCOMPARE(form->minimumSize(), QSize(240, 212));
        QCOMPARE(form->maximumSize(), QSize(240, 212));
        QCOMPARE(form->windowTitle(), QString("Tobrik"));
        QCOMPARE(QApplication::applicationVersion(), QString(TOBRIK_VERSION_TEXT));
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowIcon().availableSizes().contains(QSize(128, 128)));
#if defined(Q_OS_WIN)
        // On Windows the window centres itself with its frame, so its client
        // area sits below the centre (checked by win_check).
        return;
#endif
        // Centred on its screen; the window frame may shift the client area
        // by a few pixels.
        const QPoint offset =
            form->geometry().center() - form->screen()->availableGeometry().center();
        QVERIFY2(qAbs(offset.x()) <= 4 && qAbs(offset.y()) <= 4,
                 qPrintable(QString("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    }

    void mirroredBoxesAreLegibleInEveryTheme_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("plain") << QApplication::style()->standardPalette();
        // GTK's Adwaita-dark as Qt's gtk3 platform theme hands it on.
        QTest::newRow("dark") << desktopPalette("#323232", "#242424", "#f0f0f0", "#828282");
        // Windows' High Contrast Black.
        QTest::newRow("high contrast")
            << desktopPalette("#000000", "#000000", "#ffffff", "#3ff23f");
    }

    // The mirrored boxes stay grey, and their text, as drawn, reaches the
    // 4.5:1 contrast of WCAG AA against that grey.
    void mirroredBoxesAreLegibleInEveryTheme() {
        QFETCH(QPalette, palette);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        QApplication::setPalette(palette);
        closeWindow(); // a window made under the row's palette, as a desktop makes it
        QVERIFY(openWindow());
        for (int i = 0; i < 3; ++i) {
            form->txtSIP[i]->setText("188");
            const auto [box, text] = boxAndTextColours(form->txtEIP[i]->grab().toImage());
            QCOMPARE(box, QColor(224, 224, 224));
            const double ratio = contrastRatio(box, text);
            QVERIFY2(ratio >= 4.5, qPrintable(QString("box %1: text %2 on %3, %4:1")
                                                  .arg(i)
                                                  .arg(text.name(), box.name())
                                                  .arg(ratio, 0, 'f', 2)));
        }
    }

    void dialogFontIsAJapaneseUiFace() {
#if defined(Q_OS_WIN)
        // One of the UI faces of a Japanese Windows, not a substitute.
        const QStringList families{"MS UI Gothic", "Yu Gothic UI", "Meiryo UI"};
#else
        // The family as fontconfig names it in English or in Japanese.
        const QStringList families{"IPAPGothic", "IPA Pゴシック"};
#endif
        const QString family = QFontInfo(QApplication::font()).family();
        QVERIFY2(families.contains(family), qPrintable(family));
    }

    // Every caption, and the texts the labels and the button take during a
    // sweep, fits its control and has a glyph for each character.
    void captionsFitTheirControls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text"); // empty: the caption as it stands
        const char* const rows[][3] = {
            {"checked address", "lblChkIP", "255.255.255.255"},
            {"answered", "lblResult", "--> OK"},
            {"not answered", "lblResult", "--> NG"},
            {"start", "cmdStart", "開始"},
            {"stop", "cmdStart", "中止"},
            {"txtSIP_0", "txtSIP_0", "255"},
            {"txtSIP_3", "txtSIP_3", "255"},
            {"txtEIP_3", "txtEIP_3", "255"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString::fromUtf8(row[2]);
        for (const char* name : {"lblStart", "lblEnd", "lblName", "lblMyIP", "lblDot_0",
                                 "optPCName_0", "optPCName_1", "Frame1", "Frame2"})
            QTest::newRow(name) << QString(name) << QString();
    }

    void captionsFitTheirControls() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QVERIFY(openWindow());
        QWidget* widget = control<QWidget>(*form, name);
        QVERIFY(widget);
        const QFontMetrics metrics = widget->fontMetrics();
        QStyle* style = widget->style();
        int room = 0;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (!text.isEmpty())
                label->setText(text);
            text = label->text();
            room = label->contentsRect().width();
            QVERIFY(metrics.height() <= label->contentsRect().height());
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
        } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
            text = radio->text();
            QStyleOptionButton option;
            option.initFrom(radio);
            option.text = text;
            room = style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio).width();
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            text = box->title();
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = text;
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect label =
                style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
            const QRect frame =
                style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, box);
            room = label.width();
            // The title sits on the frame's top line.
            QVERIFY(frame.top() > label.top() && frame.top() < label.bottom());
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            // The text area: the frame's contents less the text margins and
            // the 2 px QLineEdit keeps on either side; the cursor takes 1 px.
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
            const QRect contents = style->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                                       .marginsRemoved(edit->textMargins());
            room = contents.width() - 2 * 2 - 1;
        }
        const QRawFont raw = QRawFont::fromFont(widget->font());
        for (QChar c : text)
            QVERIFY2(raw.supportsCharacter(c), qPrintable(QString(c) + " in " + text));
        const QFontInfo font(widget->font());
        QVERIFY2(metrics.horizontalAdvance(text) <= room,
                 qPrintable(QString("%1 needs %2 px, has %3 (%4, %5 px)")
                                .arg(text)
                                .arg(metrics.horizontalAdvance(text))
                                .arg(room)
                                .arg(font.family())
                                .arg(font.pixelSize())));
    }

    void messageBoxesSpeakTheSystemLanguage() {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("キャンセル"));
    }

    // The translations folder as Qt's Windows deployment tool lays it out
    // (one merged catalog), with qtbase's alone, and with none, as the
    // Windows release folder has it.
    void qtTranslationFromEitherCatalog_data() {
        QTest::addColumn<QString>("catalog");
        QTest::newRow("merged") << "qt_ja.qm";
        QTest::newRow("qtbase alone") << "qtbase_ja.qm";
        QTest::newRow("none: the program's own") << "";
    }
    void qtTranslationFromEitherCatalog() {
        QFETCH(QString, catalog);
        QTemporaryDir folder;
        if (!catalog.isEmpty())
            QVERIFY(
                QFile::copy(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm",
                            folder.filePath(catalog)));
        const auto translator = tobrik::app::LoadQtTranslation(folder.path());
        QVERIFY(translator);
        QCOMPARE(translator->translate("QPlatformTheme", "Cancel"), QString("キャンセル"));
    }
};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
