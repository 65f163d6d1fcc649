// The main window frmMain: its controls set up as designed, and its event
// handlers: start-up and shutdown, the mirroring of the start boxes, and
// the sweep that cmdStart starts and stops.

#include "frmMain.h"

#include "EchoData.h"
#include "LogLine.h"
#include "LogLocation.h"
#include "LogViewer.h"
#include "NumericText.h"
#include "OctetSplit.h"
#include "RangeValidation.h"
#include "UserTexts.h"
#include "WindowPlacement.h"
#include "mdlKorvantiser.h"
#include "ui_frmMain.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <limits>
#include <utility>

using namespace tobrik::app;
using namespace tobrik::text;

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}
QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The property of a value label that holds what the label shows.
const char* const kValueNameProperty = "valueName";

// The mirrored end boxes are drawn in these two colours whatever the
// desktop's theme: the light grey that the layout gives them, and a dark
// grey for their text, 6.1:1 against it (WCAG asks 4.5:1 of text), not the
// black of an editable box, so that they still read as disabled. A theme's
// own disabled text (light grey, a dark theme's mid grey, a high-contrast
// theme's bright colour) is barely readable on that grey.
const QColor kMirrorBoxGrey(224, 224, 224);
const QColor kMirrorBoxText(80, 80, 80);

} // namespace

frmMain::frmMain(WindowServices& services, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::frmMain>()), services(services) {
    ui->setupUi(this);
    gatherControlArrays();
    applyInitialStates();
    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    cmdStart->installEventFilter(this);
    for (int i = 0; i < 4; ++i)
        connect(txtSIP[i], &QLineEdit::textChanged, this, [this, i] { txtSIP_Change(i); });
}

frmMain::~frmMain() = default;

void frmMain::gatherControlArrays() {
    cmdStart = ui->cmdStart;
    txtSIP = {ui->txtSIP_0, ui->txtSIP_1, ui->txtSIP_2, ui->txtSIP_3};
    txtEIP = {ui->txtEIP_0, ui->txtEIP_1, ui->txtEIP_2, ui->txtEIP_3};
    optPCName = {ui->optPCName_0, ui->optPCName_1};
    lblChkIP = ui->lblChkIP;
    lblResult = ui->lblResult;
    lblMyIPAddr = ui->lblMyIPAddr;
    lblHostName = ui->lblHostName;
}

void frmMain::applyInitialStates() {
    setUpWindowFrame();
    lblChkIP->setVisible(false);
    lblResult->setVisible(false);
    setUpOctetBoxes();
    setUpOptionGroup();
    setUpAccessibleNames();
    txtSIP[3]->setFocus();
}

void frmMain::setUpWindowFrame() {
    // A fixed dialog frame with a title, the window menu and a close box, no
    // minimize or maximize, centred when it opens.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    CentreWhenShown(*this);
}

void frmMain::setUpOctetBoxes() {
    // The end prefix boxes only mirror the start boxes: grey and disabled.
    for (int i = 0; i < 3; ++i) {
        QPalette palette = txtEIP[i]->palette();
        palette.setColor(QPalette::Disabled, QPalette::Base, kMirrorBoxGrey);
        palette.setColor(QPalette::Disabled, QPalette::Text, kMirrorBoxText);
        txtEIP[i]->setPalette(palette);
    }
    auto prepare = [](QLineEdit* box) {
        // Text boxes cover the dot labels that they overlap.
        box->raise();
        // Digits are typed directly, never composed by an input method.
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        // A box takes text of any length (Qt would cut it at 32767); only
        // the range validation refuses what is too long.
        box->setMaxLength(std::numeric_limits<int>::max());
        // QLineEdit keeps 2 px beside its text inside the frame; giving one
        // of them back on each side lets three digits fit the 28 px box.
        box->setTextMargins(-1, 0, -1, 0);
    };
    for (auto* box : txtSIP)
        prepare(box);
    for (auto* box : txtEIP)
        prepare(box);
}

void frmMain::setUpOptionGroup() {
    // Tab reaches the option group through its chosen button only; the
    // arrow keys move the choice within the group.
    auto followChoice = [this] {
        for (auto* option : optPCName)
            option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (auto* option : optPCName)
        connect(option, &QRadioButton::toggled, this, followChoice);
    followChoice();
}

// A command button that has the focus is pressed by Enter as well as by
// Space, as on Windows; Qt's push button outside a dialog takes only Space.
// The button stays neither default nor auto-default, so Enter in another
// control presses nothing.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cmdStart && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdStart->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::setUpAccessibleNames() {
    for (int i = 0; i < 4; ++i) {
        txtSIP[i]->setAccessibleName(QString(kStartOctetName).arg(i + 1));
        txtEIP[i]->setAccessibleName(QString(kEndOctetName).arg(i + 1));
    }
    // The option buttons name their group, which their captions leave out;
    // the frame's own caption is in half-width katakana, which speech
    // synthesizers read less well.
    ui->Frame2->setAccessibleName(kNameGroupName);
    for (auto* option : optPCName)
        option->setAccessibleName(QString(kNameGroupName) + " " + option->text());
    // cmdStart keeps its caption as its name: it says what a click does.
    const std::pair<QLabel*, const char*> values[] = {{lblMyIPAddr, kLocalAddressName},
                                                      {lblHostName, kLocalNameName},
                                                      {lblChkIP, kCheckedAddressName},
                                                      {lblResult, kResultName}};
    for (const auto& [label, what] : values) {
        label->setProperty(kValueNameProperty, QString(what));
        showValue(label, label->text());
    }
}

// A label that shows a value is named by what it is and then the value, so
// that a screen reader hears both; a fixed name would hide the value.
void frmMain::showValue(QLabel* label, const QString& value) {
    label->setText(value);
    const QString what = label->property(kValueNameProperty).toString();
    label->setAccessibleName(value.isEmpty() ? what : what + " " + value);
}

// ---- Start-up and shutdown ------------------------------------------------

// Refuses a second copy of the program: tells the user and returns false.
bool frmMain::Form_Initialize() {
    if (!services.anotherInstanceRunning())
        return true;
    services.messageBox(kAlreadyRunning, MessageStyle::Exclamation, kLoadErrorTitle);
    return false;
}

// Shows the local address and host name, and pre-fills the range from them.
void frmMain::Form_Load() {
    showValue(lblMyIPAddr, fromUtf8(tobrik::mdlKorvantiser::GetLocalIPAddress()));
    const auto octets = SplitOctets(utf8(lblMyIPAddr->text()));
    for (int i = 0; i < 4; ++i)
        txtSIP[i]->setText(fromUtf8(octets[static_cast<std::size_t>(i)]));
    for (int i = 0; i < 4; ++i)
        txtEIP[i]->setText(txtSIP[i]->text());
    showValue(lblHostName, fromUtf8(tobrik::mdlKorvantiser::GetHostNameByIP(
                               tobrik::mdlKorvantiser::GetLocalIPAddress())));
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

// Ends the program when the window closes, in the middle of a sweep too.
void frmMain::Form_Unload() {
    // Every line written so far is already flushed; the sweep, if one is
    // suspended beneath this handler, never resumes.
    unloaded = true;
    logFile.close();
    services.endProgram();
}

// ---- Start-field mirroring ------------------------------------------------

// Mirrors the start boxes into the end boxes: every change of a start box
// is copied into the end box of the same index, the end octet too.
void frmMain::txtSIP_Change(int Index) {
    txtEIP[Index]->setText(txtSIP[Index]->text());
}

// ---- Sweep run --------------------------------------------------------------

// Starts a sweep, or stops the running one (caption "中止") by putting the
// stop text on the clipboard.
void frmMain::cmdStart_Click() {
    if (cmdStart->text() == kStopCaption) {
        stopSweep();
        return;
    }
    // A click that arrives while a stop is still finishing, with the stopped
    // sweep suspended beneath it, must not start a second sweep.
    if (activeLoops > 0)
        return;
    startSweep();
}

void frmMain::startSweep() {
    lngAnswer = services.messageBox(
        kConfirmPrompt, MessageStyle::OkCancel | MessageStyle::Information, kConfirmTitle);
    if (lngAnswer == kAnswerCancel)
        return;
    if (!rangeAccepted())
        return;
    // The log is opened before anything else changes, so that a log that
    // cannot be opened leaves the window exactly as it was.
    if (!openLog())
        return;
    services.clearClipboard();
    stopPending = false;
    echoWarningShown = false;
    logFailureShown = false;
    cmdStart->setText(kStopCaption);
    lblChkIP->setVisible(true);
    lblResult->setVisible(true);
    runSweepLoop();
}

// The clipboard stop: the stop text goes on the clipboard, where the running
// sweep finds it at its next address; then this click runs the loop itself,
// which finds it at once and finishes the sweep.
void frmMain::stopSweep() {
    cmdStart->setText(kStartCaption);
    services.setClipboardText(kStopSignal);
    stopPending = true;
    runSweepLoop();
}

bool frmMain::rangeAccepted() {
    std::array<std::string, 4> start;
    for (std::size_t i = 0; i < 4; ++i)
        start[i] = utf8(txtSIP[i]->text());
    const auto verdict = ValidateRange(start, utf8(txtEIP[3]->text()));
    using Kind = RangeVerdict::Kind;
    if (verdict.kind == Kind::StartRefused) {
        services.messageBox(kStartInvalid, MessageStyle::Critical, kInputTitle);
        txtSIP[verdict.refusedBox]->setFocus();
        return false;
    }
    if (verdict.kind == Kind::EndRefused) {
        services.messageBox(kEndInvalid, MessageStyle::Critical, kInputTitle);
        txtSIP[3]->setFocus();
        return false;
    }
    return true;
}

// The log chosen as the program started (beside the executable, or in the
// user's own folder), or the user's own where that is refused or fails this
// time; then this instance holds that log's lock too, or another instance
// writing it refuses the sweep. A log written elsewhere than it was to be
// is told before the sweep; a failure names the last path tried.
bool frmMain::openLog() {
    bool writtenByAnother = false;
    const auto opening = tobrik::log::OpenChosenLog(
        logFile, services.logPlace(), services.logFolderAccess(), [&](const std::string& path) {
            writtenByAnother = services.anotherInstanceWrites(fromUtf8(path));
            return !writtenByAnother;
        });
    strLogPath = fromUtf8(opening.path);
    if (writtenByAnother) {
        services.messageBox(logMoveText(opening.move, kLogWrittenByAnother), MessageStyle::Critical,
                            kLogErrorTitle);
        return false;
    }
    if (!opening.opened) {
        services.messageBox(logRefusalText(opening.refusal, strLogPath, opening.error),
                            MessageStyle::Critical, kLogErrorTitle);
        return false;
    }
    if (!opening.move.from.empty())
        services.messageBox(logMoveText(opening.move, kLogWrittenInstead),
                            MessageStyle::Exclamation, kLogErrorTitle);
    return true;
}

// Why the log moved from where it was to be, then what of strLogPath.
QString frmMain::logMoveText(const tobrik::log::LogMove& move, const char* what) const {
    return QString("%1\n\n%2\n%3")
        .arg(logRefusalText(move.why, fromUtf8(move.from), move.error), what, strLogPath);
}

// Why the log at path is not written: a refusal in the user's words, or
// the system's reason it could not be opened.
QString frmMain::logRefusalText(tobrik::log::LogRefusal why, const QString& path,
                                const std::string& error) {
    using tobrik::log::LogRefusal;
    switch (why) {
    case LogRefusal::Link:
        return QString("%1\n%2").arg(kLogIsLink, path);
    case LogRefusal::NotAFile:
        return QString("%1\n%2").arg(kLogIsNotAFile, path);
    case LogRefusal::NotOwn:
        return QString("%1\n%2").arg(kLogIsAnotherUsers, path);
    case LogRefusal::InUse:
        return QString("%1\n%2").arg(kLogInUse, path);
    case LogRefusal::NoUserFolder:
        return QString("%1\n%2\n%3").arg(kLogOpenFailed, path, kNoUserLogFolder);
    case LogRefusal::None:
        break;
    }
    return QString("%1\n%2\n%3").arg(kLogOpenFailed, path, fromUtf8(error));
}

void frmMain::runSweepLoop() {
    ++activeLoops;
    // The bounds are read once; later edits do not change a running sweep.
    const qint64 endOctet = NumericValue(utf8(txtEIP[3]->text()));
    qint64 counter = NumericValue(utf8(txtSIP[3]->text()));
    bool finished = true;
    for (; counter <= endOctet; ++counter) {
        services.processEvents();
        if (unloaded)
            return;
        if (stopRequested())
            break;
        if (!probeAddress(counter)) {
            finished = false;
            break;
        }
        if (!writeLogLine())
            break;
    }
    --activeLoops;
    if (finished)
        finishSweep();
}

// Whether the sweep is to stop: a stopping click, or the stop text on the
// clipboard, whichever program put it there.
bool frmMain::stopRequested() {
    return stopPending || services.clipboardText() == kStopSignal;
}

// Probes one address and shows its result; false when the sockets library
// did not start, which leaves the sweep open until the next click.
bool frmMain::probeAddress(qint64 lastOctet) {
    strCheckIP = txtSIP[0]->text() + "." + txtSIP[1]->text() + "." + txtSIP[2]->text() + "." +
                 QString::number(lastOctet);
    showValue(lblChkIP, strCheckIP);
    lblChkIP->repaint();
    if (!tobrik::mdlKorvantiser::SocketsInitialize()) {
        strErrMsg = kSocketsStartFailed;
        services.messageBox(strErrMsg, MessageStyle::Critical, kPingErrorTitle);
        return false;
    }
    const auto status =
        tobrik::mdlKorvantiser::PingHost(utf8(strCheckIP), tobrik::net::kEchoData, udtEchoReply);
    showValue(lblResult, status == 0 ? kAnswered : kNotAnswered);
    lblResult->repaint();
    tobrik::mdlKorvantiser::SocketsCleanup();
    reportEchoProblem(status);
    const bool lookUp = status == 0 && optPCName[0]->isChecked();
    strHostName =
        lookUp ? fromUtf8(tobrik::mdlKorvantiser::GetHostNameByIP(utf8(strCheckIP))) : QString();
    return true;
}

// Without an echo service every address would read "--> NG" without a
// word of why; and where a part of it failed and another took its place,
// the sweep goes on. Either way the user is told once per sweep.
void frmMain::reportEchoProblem(std::int32_t status) {
    const auto problem = tobrik::mdlKorvantiser::EchoServiceProblem();
    if (problem.empty() || echoWarningShown)
        return;
    echoWarningShown = true;
    const QString text = status == -1 ? QString("%1\n\n%2").arg(kEchoUnavailable, fromUtf8(problem))
                                      : fromUtf8(problem);
    services.messageBox(text, MessageStyle::Exclamation, kPingErrorTitle);
}

bool frmMain::writeLogLine() {
    const tobrik::log::LogLine line{utf8(services.nowText()), utf8(strCheckIP),
                                    utf8(lblResult->text()), utf8(strHostName)};
    std::string error;
    if (logFile.write(tobrik::log::FormatLogLine(line), error))
        return true;
    reportLogFailure(error);
    return false;
}

void frmMain::reportLogFailure(const std::string& error) {
    if (logFailureShown)
        return;
    logFailureShown = true;
    services.messageBox(QString("%1\n%2\n%3").arg(kLogWriteFailed, strLogPath, fromUtf8(error)),
                        MessageStyle::Critical, kLogErrorTitle);
}

void frmMain::finishSweep() {
    // The viewer opens once per sweep: a stopped sweep finishes twice, and
    // the second time finds the log already closed. Closing writes out
    // what the system still holds, so it can fail like a write.
    const bool wasOpen = logFile.isOpen();
    std::string error;
    if (!logFile.close(error))
        reportLogFailure(error);
    if (wasOpen)
        showLog();
    cmdStart->setText(kStartCaption);
    lblChkIP->setVisible(false);
    lblResult->setVisible(false);
}

// A viewer that cannot be started, or finds nothing to show the log with,
// is told once with where the log is; the window is not held meanwhile.
void frmMain::showLog() {
    const QString viewer = ViewerProgram();
    const QString path = strLogPath;
    const QPointer<frmMain> window(this);
    services.startProgram(viewer, path, [window, viewer, path](const QString& error) {
        if (window)
            window->services.messageBox(
                QString("%1\n%2: %3\n\n%4\n%5").arg(kViewerFailed, viewer, error, kLogIsAt, path),
                MessageStyle::Exclamation, kLogErrorTitle);
    });
}
