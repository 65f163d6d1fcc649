#pragma once
// The real Qt window services, but for what would need a person or leave
// the test: message boxes are recorded and answered by script (or shown for
// a test that answers them itself), the viewer and the program's end are
// recorded, and the executable's folder and the log's environment are the
// test's own.

#include "FakeLogFolderAccess.h"
#include "QtWindowServices.h"

#include <QStringList>
#include <deque>
#include <functional>

namespace tobrik::test {

struct ShownMessage {
    QString text;
    int style;
    QString title;
};

class FakeWindowServices : public app::QtWindowServices {
  public:
    std::vector<ShownMessage> messages;
    std::deque<int> answers; // answers to the next boxes; OK once used up
    std::function<void(const ShownMessage&)> onMessage;
    bool realBoxes = false; // show the boxes and return what they answer
    QStringList viewerStarts;
    QString realViewer; // a program started for real in the viewer's place
    bool otherInstance = false;
    QString logOfAnother; // a log that another instance writes
    int programEnds = 0;
    QString directory;
    FakeLogFolderAccess places;

    int messageBox(const QString& text, int style, const QString& title) override {
        messages.push_back({text, style, title});
        if (onMessage)
            onMessage(messages.back());
        if (realBoxes)
            return QtWindowServices::messageBox(text, style, title);
        if (answers.empty())
            return app::kAnswerOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void startProgram(const QString& program, const QString& argument,
                      const std::function<void(const QString&)>& failed) override {
        viewerStarts << program + " " + argument;
        if (!realViewer.isEmpty())
            QtWindowServices::startProgram(realViewer, argument, failed);
    }
    bool anotherInstanceRunning() override { return otherInstance; }
    bool anotherInstanceWrites(const QString& logPath) override { return logPath == logOfAnother; }
    void endProgram() override { ++programEnds; }
    QString executableDirectory() override { return directory; }
    log::LogFolderAccess& logFolderAccess() override { return places; }
    using QtWindowServices::forgetLogPlace;

    // Forgets what was recorded and scripted, as for a new window.
    void reset() {
        messages.clear();
        answers.clear();
        onMessage = nullptr;
        realBoxes = false;
        viewerStarts.clear();
        otherInstance = false;
        realViewer.clear();
        logOfAnother.clear();
        forgetLogPlace();
        programEnds = 0;
        places = FakeLogFolderAccess();
    }

    int countTitled(const QString& title) const {
        int count = 0;
        for (const auto& message : messages)
            count += message.title == title;
        return count;
    }
};

} // namespace tobrik::test
