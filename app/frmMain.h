#pragma once
// The main window and its event handlers: the Start/Stop command with its
// sweep, the copying of the start boxes into the end boxes, start-up and
// shutdown.

#include "EchoReplyRecord.h"
#include "LogLocation.h"
#include "ResultLog.h"
#include "WindowServices.h"

#include <QWidget>
#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class frmMain;
}

class frmMain : public QWidget {
    Q_OBJECT

  public:
    explicit frmMain(tobrik::app::WindowServices& services, QWidget* parent = nullptr);
    ~frmMain() override;

    // Initialisation: refuses a second copy of the program; false when
    // another instance runs (after telling the user), and the program must
    // then end without loading the window.
    bool Form_Initialize();
    // Load: shows the local address and host name and pre-fills the range.
    void Form_Load();

    // Controls, indexed like the window's control arrays.
    QPushButton* cmdStart = nullptr;
    std::array<QLineEdit*, 4> txtSIP{};
    std::array<QLineEdit*, 4> txtEIP{};
    std::array<QRadioButton*, 2> optPCName{};
    QLabel* lblChkIP = nullptr;
    QLabel* lblResult = nullptr;
    QLabel* lblMyIPAddr = nullptr;
    QLabel* lblHostName = nullptr;

  public slots:
    // Starts or stops a sweep.
    void cmdStart_Click();
    // Mirrors the start box Index into the end box of the same index.
    void txtSIP_Change(int Index);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Unload();
    void gatherControlArrays();
    void applyInitialStates();
    void setUpWindowFrame();
    void setUpOctetBoxes();
    void setUpOptionGroup();
    void setUpAccessibleNames();
    void showValue(QLabel* label, const QString& value);

    void startSweep();
    void stopSweep();
    bool rangeAccepted();
    bool openLog();
    QString logMoveText(const tobrik::log::LogMove& move, const char* what) const;
    static QString logRefusalText(tobrik::log::LogRefusal why, const QString& path,
                                  const std::string& error);
    void runSweepLoop();
    bool stopRequested();
    bool probeAddress(qint64 lastOctet);
    void reportEchoProblem(std::int32_t status);
    bool writeLogLine();
    void reportLogFailure(const std::string& error);
    void finishSweep();
    void showLog();

    std::unique_ptr<Ui::frmMain> ui;
    tobrik::app::WindowServices& services;

    // Window variables of the sweep.
    QString strLogPath;
    int lngAnswer = 0;
    QString strCheckIP;
    QString strHostName;
    tobrik::net::EchoReplyRecord udtEchoReply;
    QString strErrMsg;
    tobrik::log::ResultLog logFile;

    // A stopping click sets this as well as the clipboard text, so that no
    // other program can keep a stopped sweep running.
    bool stopPending = false;
    // Sweep loops on the stack: a stop runs its own loop while the stopped
    // one is suspended beneath it, and no new sweep may start meanwhile.
    int activeLoops = 0;
    bool echoWarningShown = false;
    // A log that failed once in a sweep is reported once: a close that
    // fails after a failed write adds no second message.
    bool logFailureShown = false;
    bool unloaded = false;
};
