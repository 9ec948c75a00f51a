#pragma once

// Helpers for driving the window as a person would, on the offscreen
// platform: message boxes recorded instead of shown, menu entries chosen by
// clicking the menu bar, and modal dialogs answered once they are up.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QMainWindow;
class QWidget;

struct ShownMessage {
    QString text;
    QString caption;
    int flags = 0;
};

// Records every message box of the application while it exists.
class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    const std::vector<ShownMessage>& Shown() const { return shown; }
    // The one message shown so far; fails the test when there is not
    // exactly one.
    ShownMessage Only() const;
    void Clear() { shown.clear(); }

private:
    std::vector<ShownMessage> shown;
};

// Clicks the menu bar item `menuName`, then the entry `actionName` in the
// menu that opens.
void ChooseMenuEntry(QMainWindow& window, const QString& menuName, const QString& actionName);

// Calls `answer` with the application's modal widget as soon as there is one
// (polling, so it can be armed before the action that opens the dialog).
// Gives up after a few seconds, leaving `answered` false.
void WhenModalAppears(std::function<void(QWidget*)> answer, bool* answered = nullptr);

// Shows the window and waits until it is the active one, so shortcuts and
// focus work as on a desktop.
bool ShowActive(QWidget& window);

// Runs `action` from inside the application's message loop until Terminate ends it;
// false if it did not end within a few seconds.
bool RunUntilTerminated(std::function<void()> action);
