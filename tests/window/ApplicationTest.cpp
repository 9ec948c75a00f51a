// The application object: real message boxes, the exception report that
// keeps the program running, the way out of the message loop, the title
// that leaves captions alone, and the choice of window-system platform.

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "app/Application.h"
#include "app/StartupPlatform.h"
#include "platform/Registry.h"
#include "tests/support/TestFiles.h"
#include "tests/window/WindowTestSupport.h"

class ApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void messageBoxIsARealModalBox_data();
    void messageBoxIsARealModalBox();
    void exceptionEscapingAHandlerIsReportedAndProgramGoesOn();
    void terminateEndsTheLoop();
    void titleLeavesCaptionsAlone();
    void preferredPlatform_data();
    void preferredPlatform();
};

void ApplicationTest::messageBoxIsARealModalBox_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");
    QTest::newRow("48: warning, OK") << 48 << int(QMessageBox::Warning) << QStringList{"OK"} << "OK" << int(IDOK);
    QTest::newRow("16: stop, OK") << 16 << int(QMessageBox::Critical) << QStringList{"OK"} << "OK" << int(IDOK);
    QTest::newRow("36: question, Yes and No") << 36 << int(QMessageBox::Question) << QStringList{"&Yes", "&No"}
                                              << "&No" << int(IDNO);
}

void ApplicationTest::messageBoxIsARealModalBox()
{
    QFETCH(int, flags);
    QFETCH(int, icon);
    QFETCH(QStringList, buttons);
    QFETCH(QString, press);
    QFETCH(int, answer);

    bool answered = false;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    int shownIcon = -1;
    QStringList shownButtons;
    WhenModalAppears(
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                modal->close();
                return;
            }
            title = box->windowTitle();
            text = box->text();
            format = box->textFormat();
            shownIcon = int(box->icon());
            for (QAbstractButton* button : box->buttons())
                shownButtons << button->text();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == press)
                    QTest::mouseClick(button, Qt::LeftButton);
            }
        },
        &answered);

    const int result = Application()->MessageBox(
        QStringLiteral("Erroneous password!\r\nFile will NOT be unlocked. <b>not bold</b>"),
        QStringLiteral("Password error."), flags);

    QVERIFY(answered);
    QCOMPARE(result, answer);
    QCOMPARE(title, QStringLiteral("Password error."));
    QCOMPARE(text, QStringLiteral("Erroneous password!\nFile will NOT be unlocked. <b>not bold</b>"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shownIcon, icon);
    shownButtons.sort();
    buttons.sort();
    QCOMPARE(shownButtons, buttons);
}

void ApplicationTest::exceptionEscapingAHandlerIsReportedAndProgramGoesOn()
{
    MessageLog messages;
    QPushButton button(QStringLiteral("Store"));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] {
        ++clicks;
        if (clicks == 1)
            throw ERegistryException("Cannot read /home/anna/.config/quorvex/HKEY_CURRENT_USER.reg, line 3");
        throw std::runtime_error("Out of luck");
    });
    QVERIFY(ShowActive(button));

    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClick(&button, Qt::Key_Space);

    QCOMPARE(clicks, 3);
    QCOMPARE(messages.Shown().size(), std::size_t(3));
    QCOMPARE(messages.Shown()[0].text,
             QStringLiteral("Cannot read /home/anna/.config/quorvex/HKEY_CURRENT_USER.reg, line 3."));
    QCOMPARE(messages.Shown()[1].text, QStringLiteral("Out of luck."));
    for (const ShownMessage& message : messages.Shown()) {
        QCOMPARE(message.caption, Application()->Title());
        QCOMPARE(message.flags, int(MB_ICONSTOP));
    }
    QVERIFY(!button.isDown());
}

void ApplicationTest::terminateEndsTheLoop()
{
    // During the loop.
    QVERIFY(RunUntilTerminated([] { Application()->Terminate(); }));
    QVERIFY(!Application()->Terminated());

    // Before it: the next Run ends at once.
    Application()->Terminate();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(RunUntilTerminated([] {}));
    QVERIFY(clock.elapsed() < 4000);
}

void ApplicationTest::titleLeavesCaptionsAlone()
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Encrypt/Decrypt file."));
    Application()->SetTitle(QStringLiteral("Encrypt/Decrypt Files With A Right Click!"));
    QCOMPARE(Application()->Title(), QStringLiteral("Encrypt/Decrypt Files With A Right Click!"));
    // A display name would be appended to every caption by the platform.
    QVERIFY(QGuiApplication::applicationDisplayName() != Application()->Title());
    QCOMPARE(window.windowTitle(), QStringLiteral("Encrypt/Decrypt file."));
}

void ApplicationTest::preferredPlatform_data()
{
    QTest::addColumn<QByteArray>("requested");
    QTest::addColumn<bool>("platformArgument");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QByteArray>("x11Display");
    QTest::addColumn<QByteArray>("preferred");
    QTest::newRow("X11 session") << QByteArray() << false << QByteArray() << QByteArray("x11") << QByteArray(":0")
                                 << QByteArray();
    QTest::newRow("Wayland with Xwayland") << QByteArray() << false << QByteArray("wayland-0")
                                           << QByteArray("wayland") << QByteArray(":0") << QByteArray("xcb;wayland");
    QTest::newRow("Wayland session type only") << QByteArray() << false << QByteArray() << QByteArray("wayland")
                                               << QByteArray(":1") << QByteArray("xcb;wayland");
    QTest::newRow("pure Wayland") << QByteArray() << false << QByteArray("wayland-0") << QByteArray("wayland")
                                  << QByteArray() << QByteArray();
    QTest::newRow("user's choice in the environment")
        << QByteArray("wayland") << false << QByteArray("wayland-0") << QByteArray("wayland") << QByteArray(":0")
        << QByteArray();
    QTest::newRow("user's choice on the command line")
        << QByteArray() << true << QByteArray("wayland-0") << QByteArray("wayland") << QByteArray(":0")
        << QByteArray();
}

void ApplicationTest::preferredPlatform()
{
    PlatformEnvironment environment;
    QFETCH(QByteArray, requested);
    QFETCH(bool, platformArgument);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, sessionType);
    QFETCH(QByteArray, x11Display);
    QFETCH(QByteArray, preferred);
    environment.requestedPlatform = requested;
    environment.platformArgument = platformArgument;
    environment.waylandDisplay = waylandDisplay;
    environment.sessionType = sessionType;
    environment.x11Display = x11Display;
    QCOMPARE(PreferredPlatform(environment), preferred);
}

int main(int argc, char** argv)
{
    testfiles::PrivateHome processHome;
    TApplication application(argc, argv);
    application.Initialize();
    application.setQuitOnLastWindowClosed(false);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ApplicationTest.moc"
