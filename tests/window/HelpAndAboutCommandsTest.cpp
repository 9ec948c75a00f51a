// The Help menu's two commands from the main window: Help topics finds the
// help document through the stored installation directory, About shows a
// freshly built dialog each time.

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBrowser>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

#include "about/CommonAboutDialog.h"
#include "app/Application.h"
#include "help/HelpEngine.h"
#include "help/HelpWindow.h"
#include "mainwindow/MainWindow.h"
#include "platform/Registry.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "tests/support/TestFiles.h"
#include "tests/window/WindowTestSupport.h"

namespace {

const QString HelpDocument = QStringLiteral("/help/Quorvex.html");

// An installation folder holding a help document with the topic.
void MakeInstallation(const std::string& folder, const std::string& title)
{
    mkdir(folder.c_str(), 0700);
    mkdir((folder + "/help").c_str(), 0700);
    testfiles::WriteFile(folder + "/help/Quorvex.html",
                         "<html><head><title>" + title + "</title></head><body>"
                         "<h1 id=\"Introduction\">Introduction</h1><p>Text.</p></body></html>");
}

void StoreInstallationDirectory(const std::string& directory)
{
    RegistryManager(SettingsCompany, SettingsProduct).WriteEntry(InstallationDirectoryEntry, directory);
}

// Closes every message box shown while it exists and keeps its text.
class MessageBoxCloser : public QObject {
public:
    MessageBoxCloser() { qApp->installEventFilter(this); }
    ~MessageBoxCloser() override { qApp->removeEventFilter(this); }
    QString text;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                text = box->text();
                QTimer::singleShot(0, box, &QMessageBox::accept);
            }
        }
        return false;
    }
};

// Chooses Help > Help topics; a message box of the help engine is closed
// and its text returned.
QString ChooseHelpTopics(TfrmMain& window)
{
    MessageBoxCloser closer;
    ChooseMenuEntry(window, QStringLiteral("HelpMenu"), QStringLiteral("HelptopicsMenu"));
    return closer.text;
}

class Session {
public:
    Session() : window(std::make_unique<TfrmMain>(QStringList{QStringLiteral("quorvex")})) {
        ShowActive(*window);
    }
    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    MessageLog messages;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

class HelpAndAboutCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void helpOpensTheDocumentOfTheInstallation_data();
    void helpOpensTheDocumentOfTheInstallation();
    void helpWithoutInstallationEntryLooksAtTheRoot();
    void helpReportsANonTextEntryAndKeepsTheLastFile();
    void helpFollowsAChangedInstallation();
    void aboutShowsAFreshDialogEachTime();
};

void HelpAndAboutCommandsTest::helpOpensTheDocumentOfTheInstallation_data()
{
    QTest::addColumn<QString>("trailing");
    QTest::newRow("stored without a trailing /") << "";
    QTest::newRow("stored with a trailing /") << "/";
}

void HelpAndAboutCommandsTest::helpOpensTheDocumentOfTheInstallation()
{
    QFETCH(QString, trailing);
    Session session;
    const std::string installation = session.folder / "Quorvex";
    MakeInstallation(installation, "Quorvex help");
    StoreInstallationDirectory(installation + trailing.toStdString());

    QCOMPARE(ChooseHelpTopics(*session.window), QString());
    // Joined as stored: a trailing "/" gives two in a row, which still opens.
    QCOMPARE(Application()->HelpFile(), QString::fromStdString(installation) + trailing + HelpDocument);
    QVERIFY(CurrentHelpWindow() != nullptr);
    QTRY_VERIFY(CurrentHelpWindow()->isVisible());
    QCOMPARE(CurrentHelpWindow()->Source().fragment(), QStringLiteral("Introduction"));
    QCOMPARE(QFileInfo(CurrentHelpWindow()->Source().path()).canonicalFilePath(),
             QFileInfo(Application()->HelpFile()).canonicalFilePath());
    QVERIFY(session.messages.Shown().empty());
    CurrentHelpWindow()->close();
}

void HelpAndAboutCommandsTest::helpWithoutInstallationEntryLooksAtTheRoot()
{
    Session session;
    const QString message = ChooseHelpTopics(*session.window);
    QCOMPARE(Application()->HelpFile(), HelpDocument);
    QVERIFY2(message.contains(HelpDocument), qPrintable(message));
    QVERIFY(session.messages.Shown().empty());
}

void HelpAndAboutCommandsTest::helpReportsANonTextEntryAndKeepsTheLastFile()
{
    Session session;
    const std::string installation = session.folder / "Quorvex";
    MakeInstallation(installation, "Quorvex help");
    StoreInstallationDirectory(installation);
    ChooseHelpTopics(*session.window);
    const QString helpFile = Application()->HelpFile();
    CurrentHelpWindow()->close();

    TRegistry registry;
    QVERIFY(registry.OpenKey("\\Software\\Orvandel Software\\Sildra\\InstallationDirectory", false));
    registry.WriteInteger("Value", 7);

    QCOMPARE(ChooseHelpTopics(*session.window), QString());
    QCOMPARE(session.messages.Only().text, QStringLiteral("Invalid data type for 'Value'."));
    QCOMPARE(Application()->HelpFile(), helpFile);
    QVERIFY(!CurrentHelpWindow()->isVisible());
    QVERIFY(session.window->isVisible());
}

void HelpAndAboutCommandsTest::helpFollowsAChangedInstallation()
{
    Session session;
    MakeInstallation(session.folder / "first", "First help");
    MakeInstallation(session.folder / "second", "Second help");

    StoreInstallationDirectory(session.folder / "first");
    ChooseHelpTopics(*session.window);
    QTRY_COMPARE(CurrentHelpWindow()->Browser()->documentTitle(), QStringLiteral("First help"));

    StoreInstallationDirectory(session.folder / "second");
    ChooseHelpTopics(*session.window);
    QTRY_COMPARE(CurrentHelpWindow()->Browser()->documentTitle(), QStringLiteral("Second help"));
    CurrentHelpWindow()->close();
}

void HelpAndAboutCommandsTest::aboutShowsAFreshDialogEachTime()
{
    Session session;
    for (int time = 0; time < 2; ++time) {
        QString product;
        QString about;
        bool answered = false;
        WhenModalAppears(
            [&](QWidget* modal) {
                auto* dialog = qobject_cast<TAboutDialog*>(modal);
                if (dialog == nullptr)
                    return;
                product = dialog->findChild<QLabel*>("ProductLabel")->text();
                about = dialog->findChild<QLabel*>("AboutLabel")->text();
                QTest::keyClick(dialog, Qt::Key_Return);
            },
            &answered);
        ChooseMenuEntry(*session.window, QStringLiteral("HelpMenu"), QStringLiteral("AboutMenu"));
        QVERIFY(answered);
        QCOMPARE(product, QStringLiteral("\"Quorvex\""));
        QVERIFY2(about.startsWith(QStringLiteral("Version: 1.1\r\nBuild date: ")), qPrintable(about));
        // The dialog lives for one command only.
        QVERIFY(session.window->findChildren<TAboutDialog*>().isEmpty());
    }
    QVERIFY(session.messages.Shown().empty());
}

int main(int argc, char** argv)
{
    testfiles::PrivateHome processHome;
    TApplication application(argc, argv);
    application.Initialize();
    application.setQuitOnLastWindowClosed(false);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    HelpAndAboutCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HelpAndAboutCommandsTest.moc"
