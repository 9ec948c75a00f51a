#include "tests/window/WindowTestSupport.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "app/Application.h"

MessageLog::MessageLog()
{
    Application()->SetMessageBoxHandler([this](const QString& text, const QString& caption, int flags) {
        shown.push_back({text, caption, flags});
        return IDOK;
    });
}

MessageLog::~MessageLog()
{
    Application()->SetMessageBoxHandler(nullptr);
}

ShownMessage MessageLog::Only() const
{
    if (shown.size() != 1) {
        QString all;
        for (const ShownMessage& message : shown)
            all += QStringLiteral("\n  [%1] %2").arg(message.caption, message.text);
        QTest::qFail(qPrintable(QStringLiteral("expected one message box, saw %1:%2").arg(shown.size()).arg(all)),
                     __FILE__, __LINE__);
        return {};
    }
    return shown.front();
}

void ChooseMenuEntry(QMainWindow& window, const QString& menuName, const QString& actionName)
{
    QMenuBar* bar = window.menuBar();
    auto* menu = window.findChild<QMenu*>(menuName);
    auto* action = window.findChild<QAction*>(actionName);
    QVERIFY2(menu != nullptr && action != nullptr, qPrintable(menuName + "/" + actionName));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    if (menu->isVisible())
        menu->close();  // an entry that ignored the click, such as a disabled one
}

void WhenModalAppears(std::function<void(QWidget*)> answer, bool* answered)
{
    if (answered != nullptr)
        *answered = false;
    auto* poll = new QTimer(QCoreApplication::instance());
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, answer = std::move(answer), answered] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible()) {
            poll->stop();
            poll->deleteLater();
            if (answered != nullptr)
                *answered = true;
            QPointer<QWidget> guard(modal);
            answer(modal);
            // A dialog the answer failed to close would hold the test forever.
            QTimer::singleShot(3000, guard, [guard] {
                if (guard && guard->isVisible())
                    guard->close();
            });
        } else if (deadline->elapsed() > 5000) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

bool ShowActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

bool RunUntilTerminated(std::function<void()> action)
{
    bool timedOut = false;
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(action));
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(5000);
    Application()->Run();
    return !timedOut;
}
