// Start-up, shutdown and the mirroring of the start boxes, on the real main
// window. The local host is scripted through the network seam.

#include "InstanceLock.h"
#include "Ipv4Address.h"
#include "ScriptedWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using tobrik::test::FakeNetPlatform;
using tobrik::test::FakeWindowServices;

class StartupTest : public QObject, protected tobrik::test::ScriptedWindow {
    Q_OBJECT

  private:
    QStringList texts(const std::array<QLineEdit*, 4>& boxes) {
        QStringList result;
        for (auto* box : boxes)
            result << box->text();
        return result;
    }

  private slots:
    void typedAndProgrammaticEditsAreMirrored_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 4; ++i)
            QTest::newRow(qPrintable(QString("box %1").arg(i))) << i;
    }

    void typedAndProgrammaticEditsAreMirrored() {
        QFETCH(int, index);
        QVERIFY(openWindow());
        form->txtEIP[3]->setText("99");
        QLineEdit* box = form->txtSIP[index];
        box->setFocus();
        QTest::keyClick(box, Qt::Key_1);
        QCOMPARE(form->txtEIP[index]->text(), QString("1"));
        QTest::keyClick(box, Qt::Key_0);
        QCOMPARE(form->txtEIP[index]->text(), QString("10"));
        box->setText("abc");
        QCOMPARE(form->txtEIP[index]->text(), QString("abc"));
        // No length limit, neither for set nor for typed text.
        box->setText(QString(40000, '0'));
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_1);
        QCOMPARE(form->txtEIP[index]->text(), QString(40000, '0') + "1");
        box->clear();
        QCOMPARE(form->txtEIP[index]->text(), QString());
        // Only the matching end box changes: the end octet keeps its 99
        // while a start box 0-2 is typed in.
        for (int other = 0; other < 4; ++other)
            if (other != index)
                QCOMPARE(form->txtEIP[other]->text(), QString(other == 3 ? "99" : ""));
    }

    void loadFillsAddressNameAndRange_data() {
        QTest::addColumn<QString>("localAddress");
        QTest::addColumn<QString>("reverseName");
        QTest::addColumn<QStringList>("octets");
        auto row = [](const char* name, const char* address, const char* reverse) {
            QTest::newRow(name) << QString(address) << QString(reverse)
                                << (*address ? QString(address).split('.') : QStringList(4, ""));
        };
        row("worked example", "192.168.10.5", "pc01");
        row("single zeros", "10.0.0.1", "ten");
        row("name that looks like markup", "10.0.0.1", "<b>pc01</b>&amp;");
        row("no reverse name", "10.0.0.1", "");
        row("no local address", "", "");
    }

    void loadFillsAddressNameAndRange() {
        QFETCH(QString, localAddress);
        QFETCH(QString, reverseName);
        QFETCH(QStringList, octets);
        FakeNetPlatform local;
        if (!localAddress.isEmpty())
            local.addressOfName["fake-host"] = *tobrik::net::ParseIPv4(localAddress.toStdString());
        if (!reverseName.isEmpty())
            local.names[localAddress.toStdString()] = reverseName.toStdString();
        tobrik::net::ScopedPlatform guard(local);
        FakeWindowServices services;
        frmMain form(services);
        form.Form_Load();
        QCOMPARE(form.lblMyIPAddr->text(), localAddress);
        QCOMPARE(texts(form.txtSIP), octets);
        QCOMPARE(texts(form.txtEIP), octets);
        QCOMPARE(form.lblHostName->text(), reverseName);
        QCOMPARE(tobrik::test::ShownText(form.lblMyIPAddr), localAddress);
        QCOMPARE(tobrik::test::ShownText(form.lblHostName), reverseName);
        // A screen reader hears the values with what they are.
        QCOMPARE(tobrik::test::Spoken(form.lblMyIPAddr), ("IPアドレス " + localAddress).trimmed());
        QCOMPARE(tobrik::test::Spoken(form.lblHostName),
                 ("コンピュータ名 " + reverseName).trimmed());
        // Every look-up started the sockets library and stopped it once.
        QCOMPARE(local.cleanups, local.startups);
    }

    void platformFollowsTheSession_data() {
        QTest::addColumn<QByteArray>("qpaPlatform");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("chosen");
        // nullptr stands for an unset variable, "" for one set empty.
        auto row = [](const char* name, const char* qpa, const char* wayland, const char* x11,
                      bool found, const char* chosen) {
            QTest::newRow(name) << QByteArray(qpa) << QByteArray(wayland) << QByteArray(x11)
                                << found << QByteArray(chosen);
        };
        row("X11", nullptr, nullptr, ":0", true, "xcb");
        row("Wayland with XWayland, which may be gone", nullptr, "wayland-0", ":0", true,
            "xcb;wayland");
        row("Wayland alone", nullptr, "wayland-0", nullptr, true, "wayland");
        row("Wayland, DISPLAY empty", nullptr, "wayland-0", "", true, "wayland");
        row("X11, WAYLAND_DISPLAY empty", nullptr, "", ":0", true, "xcb");
        row("the user's choice", "wayland", "wayland-0", ":0", true, nullptr);
        row("an empty choice is none", "", "wayland-0", ":0", true, "xcb;wayland");
        row("a platform without a display", "offscreen", nullptr, nullptr, true, nullptr);
        row("xcb chosen without a display", "xcb", nullptr, "", false, nullptr);
        row("xcb chosen with Wayland alone", "xcb", "wayland-0", nullptr, false, nullptr);
        row("a Wayland variant with X11 alone", "wayland-egl", nullptr, ":0", false, nullptr);
        row("a list, one entry usable", "xcb;wayland-egl:options", "wayland-0", "", true, nullptr);
        row("a list, none usable", "wayland;xcb:opt", nullptr, nullptr, false, nullptr);
        row("no display", nullptr, "", nullptr, false, nullptr);
    }

    void platformFollowsTheSession() {
        QFETCH(QByteArray, qpaPlatform);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, display);
        QFETCH(bool, found);
        QFETCH(QByteArray, chosen);
        auto variable = [](const QByteArray& value) {
            return value.isNull() ? nullptr : value.constData();
        };
        const auto choice = tobrik::app::ChoosePlatform(
            variable(qpaPlatform), variable(waylandDisplay), variable(display));
        QCOMPARE(choice.displayFound, found);
        QCOMPARE(QByteArray(choice.platform), chosen);
    }

    void secondInstanceIsRefusedBeforeAnyLookUp() {
        FakeNetPlatform net;
        tobrik::net::ScopedPlatform guard(net);
        FakeWindowServices second;
        second.otherInstance = true;
        frmMain form(second);
        QVERIFY(!form.Form_Initialize());
        QCOMPARE(second.messages.size(), size_t(1));
        QCOMPARE(second.messages[0].text, QString("このアプリケーションはすでに開かれています。"));
        QCOMPARE(second.messages[0].title, QString("ロードエラー"));
        QCOMPARE(second.messages[0].style, 0x30);
        QCOMPARE(net.startups, 0);
    }

    // The real lock of one log, without a fake: a second holder is refused
    // until the first is gone; the holder's own lock and another log's are free.
    void instanceLockRefusesASecondHolderOfOneLog() {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString log = runtime.path() + "/tobrik.log";
        auto first = std::make_unique<tobrik::app::InstanceLock>();
        QVERIFY(!first->heldByAnother(log));
        QVERIFY(!first->heldByAnother(log));
        tobrik::app::InstanceLock second;
        QVERIFY(second.heldByAnother(log));
        QVERIFY(!second.heldByAnother(runtime.path() + "/other.log"));
        first.reset();
        QVERIFY(!second.heldByAnother(log));
    }

    void firstInstanceStartsQuietly() {
        FakeWindowServices services;
        frmMain form(services);
        QVERIFY(form.Form_Initialize());
        QVERIFY(services.messages.empty());
    }

    void cleanupTestCase() { closeWindow(); }

    void closingTheWindowEndsTheProgram() {
        FakeWindowServices closing;
        frmMain form(closing);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.close();
        QCOMPARE(closing.programEnds, 1);
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
