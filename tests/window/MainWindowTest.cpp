// The main window driven as a person drives it: typing into its fields,
// clicking its buttons and menu entries, pressing its shortcuts, answering
// its file chooser, on real files in a private folder and with settings in a
// private hive.

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

#include "app/Application.h"
#include "engine/CheckPhrase.h"
#include "engine/FileManager.h"
#include "mainwindow/MainWindow.h"
#include "platform/Registry.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "tests/support/TestFiles.h"
#include "tests/window/WindowTestSupport.h"

using testfiles::Bytes;

namespace {

const QString SettingsKey = QStringLiteral("\\Software\\Orvandel Software\\Sildra\\LockExtensionEntry");

std::string Hive()
{
    return TRegistry::HivePath();
}

Bytes HiveBytes()
{
    return testfiles::Exists(Hive()) ? testfiles::ReadFile(Hive()) : Bytes();
}

std::string StoredLockExtension()
{
    RegistryManager settings(SettingsCompany, SettingsProduct);
    return settings.ReadEntry(LockExtensionEntry);
}

void StoreLockExtension(const std::string& text)
{
    RegistryManager settings(SettingsCompany, SettingsProduct);
    settings.WriteEntry(LockExtensionEntry, text);
}

Bytes Encrypted(const std::string& path, const Bytes& plain, const char* password)
{
    testfiles::WriteFile(path, plain);
    FileManager engine(CheckPhrase);
    if (!engine.EncryptInPlace(path.c_str(), password))
        throw std::runtime_error("cannot prepare an encrypted file at " + path);
    return testfiles::ReadFile(path);
}

bool IsEncryptedForm(const Bytes& bytes, const Bytes& plain)
{
    return bytes.size() == plain.size() + 33 && bytes.substr(33) != plain;
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Types as a keyboard does, including letters beyond ASCII.
void TypeInto(QWidget* field, const QString& text)
{
    for (const QChar character : text) {
        if (character.unicode() < 0x80)
            QTest::keyClick(field, char(character.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}

// One start of the program: a private settings hive, a private folder for
// the files, message boxes recorded, and the window itself.
class Session {
public:
    explicit Session(const QStringList& arguments = {})
    {
        Start(arguments);
    }

    void Start(const QStringList& arguments = {})
    {
        window.reset();
        window = std::make_unique<TfrmMain>(QStringList{QStringLiteral("quorvex")} + arguments);
    }

    TfrmMain& Window() { return *window; }
    QLineEdit* Field(const char* name) { return window->findChild<QLineEdit*>(name); }
    QLineEdit* FileField() { return Field("FileEdit"); }
    QLineEdit* PasswordField() { return Field("PasswordOneEdit"); }
    QLineEdit* RepeatField() { return Field("PasswordTwoEdit"); }
    QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }
    QAction* Action(const char* name) { return window->findChild<QAction*>(name); }

    // Types into the fields; a null text leaves that field alone.
    void Type(const QString& file, const QString& password, const QString& repeat)
    {
        if (!file.isNull())
            TypeInto(FileField(), file);
        if (!password.isNull())
            TypeInto(PasswordField(), password);
        if (!repeat.isNull())
            TypeInto(RepeatField(), repeat);
    }

    bool CommandsEnabled()
    {
        const bool encrypt = Button("EncryptButton")->isEnabled();
        const bool all = encrypt == Button("DecryptButton")->isEnabled() &&
                         encrypt == Action("EncryptMenu")->isEnabled() && encrypt == Action("DecryptMenu")->isEnabled();
        if (!all)
            QTest::qFail("the four command controls disagree", __FILE__, __LINE__);
        return encrypt;
    }

    void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }

    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    MessageLog messages;

private:
    std::unique_ptr<TfrmMain> window;
};

enum class Command { EncryptButton, DecryptButton, EncryptShortcut, DecryptShortcut, EncryptMenuEntry, DecryptMenuEntry };

void Run(Session& session, Command command)
{
    switch (command) {
    case Command::EncryptButton:
        session.Click("EncryptButton");
        break;
    case Command::DecryptButton:
        session.Click("DecryptButton");
        break;
    case Command::EncryptShortcut:
        QTest::keySequence(&session.Window(), QKeySequence(QStringLiteral("Ctrl+E")));
        break;
    case Command::DecryptShortcut:
        QTest::keySequence(&session.Window(), QKeySequence(QStringLiteral("Ctrl+D")));
        break;
    case Command::EncryptMenuEntry:
        ChooseMenuEntry(session.Window(), QStringLiteral("RunMenu"), QStringLiteral("EncryptMenu"));
        break;
    case Command::DecryptMenuEntry:
        ChooseMenuEntry(session.Window(), QStringLiteral("RunMenu"), QStringLiteral("DecryptMenu"));
        break;
    }
}

}  // namespace

Q_DECLARE_METATYPE(Command)

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void formHoldsItsControls();
    void formHoldsItsMenus();
    void fontStandInKeepsCaptionsReadable();
    void tabOrderPutsBrowseLast();
    void startsEmptyWithMaskedPasswords();
    void startArgumentFillsFileField_data();
    void startArgumentFillsFileField();
    void commandsEnabledExactlyWhileAllFieldsHoldText();
    void missingInputsText_data();
    void missingInputsText();
    void inputErrorsAreReportedBeforeAnythingIsConverted_data();
    void inputErrorsAreReportedBeforeAnythingIsConverted();
    void everyWayOfStartingACommandConverts_data();
    void everyWayOfStartingACommandConverts();
    void shortcutsWinOverFieldKeys();
    void lockedSuffix_data();
    void lockedSuffix();
    void renameNeverReplacesAFile_data();
    void renameNeverReplacesAFile();
    void conversionFailures_data();
    void conversionFailures();
    void decryptsFileEncryptedUnderWindowsPassword();
    void convertsAFileWhoseNameIsNotUtf8();
    void firstStartStoresLockExtensionDefault();
    void storedLockExtensionIsLoaded_data();
    void storedLockExtensionIsLoaded();
    void lockExtensionMenuStoresEveryClick();
    void brokenSettingsAtStartAreReportedAndWindowOpens();
    void brokenSettingsOnClickAreReportedAndWindowGoesOn();
    void fileChooserSettings();
    void fileChooserStartsInFieldsFolder_data();
    void fileChooserStartsInFieldsFolder();
    void fileChooserPutsChosenFileInField();
    void fileChooserCancelChangesNothing();
    void shutdownStoresNoSetting_data();
    void shutdownStoresNoSetting();
};

// --- the form --------------------------------------------------------------

void MainWindowTest::formHoldsItsControls()
{
    Session session;
    TfrmMain& window = session.Window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Encrypt/Decrypt file."));
    QCOMPARE(window.centralWidget()->size(), QSize(272, 255));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!window.windowIcon().isNull());

    struct Control {
        const char* name;
        QRect geometry;
        QString text;
        QString toolTip;
    };
    const std::vector<Control> controls = {
        {"BevelArea", {8, 8, 257, 241}, {}, {}},
        {"FileEdit", {16, 32, 241, 21}, {}, "Enter the desired file to be encrypted/decrypted."},
        {"BrowseButton", {168, 64, 89, 25}, "&Browse...",
         "Browse to specify the desired files that should be encrypted/decrypted."},
        {"PasswordOneEdit", {16, 120, 241, 21}, {}, "Enter the password to be used when encrypting/decrypting the file."},
        {"PasswordTwoEdit", {16, 168, 241, 21}, {},
         "Repeat the password to be used when encrypting/decrypting the file(s)."},
        {"EncryptButton", {48, 208, 89, 25}, "&Encrypt", "Encrypt the specified file."},
        {"DecryptButton", {152, 208, 89, 25}, "&Decrypt", "Decrypt the specified file."},
    };
    for (const Control& control : controls) {
        auto* widget = window.findChild<QWidget*>(control.name);
        QVERIFY2(widget != nullptr, control.name);
        QCOMPARE(widget->geometry(), control.geometry);
        QCOMPARE(widget->toolTip(), control.toolTip);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), control.text);
            QCOMPARE(button->icon().isNull(), false);
            QVERIFY(!button->isDefault() && !button->autoDefault());
        }
    }

    const std::vector<std::pair<const char*, QString>> labels = {
        {"FileLabelFileLabel", "File to be encrypted/decrypted:"},
        {"PasswordOneLabel", "Password:"},
        {"PasswordTwoLabel", "Repeat password:"},
    };
    const std::vector<QPoint> labelCorners = {{16, 16}, {16, 104}, {16, 152}};
    for (std::size_t i = 0; i < labels.size(); ++i) {
        auto* label = window.findChild<QLabel*>(labels[i].first);
        QCOMPARE(label->text(), labels[i].second);
        QCOMPARE(label->pos(), labelCorners[i]);
        QVERIFY(label->toolTip().isEmpty());
    }
}

void MainWindowTest::formHoldsItsMenus()
{
    Session session;
    QMenuBar* bar = session.Window().menuBar();
    QStringList titles;
    for (const QAction* item : bar->actions())
        titles << item->text();
    QCOMPARE(titles, (QStringList{"File", "Run", "Settings", "Help"}));

    struct Entry {
        const char* menu;
        const char* name;
        QString text;
        QKeySequence shortcut;
    };
    const std::vector<Entry> entries = {
        {"FileMenu", "ExitMenu", "&Exit", QKeySequence("Ctrl+Q")},
        {"RunMenu", "EncryptMenu", "&Encrypt", QKeySequence("Ctrl+E")},
        {"RunMenu", "DecryptMenu", "&Decrypt", QKeySequence("Ctrl+D")},
        {"SettingsMenu", "LockedExtMenu", "Put \".locked\" extension on locked files", QKeySequence()},
        {"HelpMenu", "AboutMenu", "&About Quorvex...", QKeySequence()},
        {"HelpMenu", "HelptopicsMenu", "&Help topics", QKeySequence("Ctrl+H")},
    };
    for (const Entry& entry : entries) {
        auto* menu = session.Window().findChild<QMenu*>(entry.menu);
        QAction* action = session.Action(entry.name);
        QVERIFY2(menu->actions().contains(action), entry.name);
        QCOMPARE(action->text(), entry.text);
        QCOMPARE(action->shortcut(), entry.shortcut);
    }
    QVERIFY(session.Action("LockedExtMenu")->isCheckable());
    QCOMPARE(session.Action("HelptopicsMenu")->toolTip(), QStringLiteral("Display help for this application."));
}

void MainWindowTest::fontStandInKeepsCaptionsReadable()
{
    Session session;
    QWidget* client = session.Window().centralWidget();
    QCOMPARE(client->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(client->font().pointSize(), 8);
    QVERIFY(client->font().bold());
    QVERIFY(!session.FileField()->font().bold());

    // Whatever face stands in, every caption fits inside the frame and no
    // button clips its caption and glyph.
    const QRect bevel = session.Window().findChild<QWidget*>("BevelArea")->geometry();
    for (QLabel* label : client->findChildren<QLabel*>()) {
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), qPrintable(label->text()));
        QVERIFY2(bevel.contains(label->geometry()), qPrintable(label->text()));
    }
    for (QPushButton* button : client->findChildren<QPushButton*>()) {
        const int needed = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&')) +
                           button->iconSize().width() + 8;
        QVERIFY2(needed <= button->width(), qPrintable(button->text()));
    }
    QVERIFY2(QFontInfo(client->font()).pixelSize() <= 12, qPrintable(QFontInfo(client->font()).family()));
}

void MainWindowTest::tabOrderPutsBrowseLast()
{
    Session session;
    QVERIFY(ShowActive(session.Window()));
    session.Type("/tmp/report.doc", "secret", "secret");
    session.FileField()->setFocus();
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"PasswordOneEdit", "PasswordTwoEdit", "EncryptButton", "DecryptButton",
                                 "BrowseButton", "FileEdit"}));
}

// --- start-up --------------------------------------------------------------

void MainWindowTest::startsEmptyWithMaskedPasswords()
{
    Session session;
    QVERIFY(session.FileField()->text().isEmpty());
    for (QLineEdit* field : {session.PasswordField(), session.RepeatField()}) {
        QVERIFY(field->text().isEmpty());
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field), int('*'));
    }
    QVERIFY(!session.CommandsEnabled());
    QVERIFY(session.Button("BrowseButton")->isEnabled());
    QVERIFY(session.messages.Shown().empty());
    QVERIFY(ShowActive(session.Window()));
    QCOMPARE(QApplication::focusWidget(), session.FileField());
}

void MainWindowTest::startArgumentFillsFileField_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fileField");
    QTest::newRow("path with blanks") << QStringList{"/home/anna/My Documents/report 2024.doc"}
                                      << "/home/anna/My Documents/report 2024.doc";
    QTest::newRow("only the first of two") << QStringList{"/tmp/first.txt", "/tmp/second.txt"} << "/tmp/first.txt";
    QTest::newRow("missing file") << QStringList{"/no/such/file"} << "/no/such/file";
}

void MainWindowTest::startArgumentFillsFileField()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, fileField);
    Session session(arguments);
    QCOMPARE(session.FileField()->text(), fileField);
    QVERIFY(!session.CommandsEnabled());
    // Typing goes straight into the password field.
    QVERIFY(ShowActive(session.Window()));
    QCOMPARE(QApplication::focusWidget(), session.PasswordField());
    session.Type({}, "pw", {});
    QVERIFY(!session.CommandsEnabled());
    session.Type({}, {}, "pw");
    QVERIFY(session.CommandsEnabled());
}

// --- input checks ----------------------------------------------------------

void MainWindowTest::commandsEnabledExactlyWhileAllFieldsHoldText()
{
    Session session;
    session.Type("/tmp/a", {}, {});
    QVERIFY(!session.CommandsEnabled());
    session.Type({}, "x", {});
    QVERIFY(!session.CommandsEnabled());
    session.Type({}, {}, "y");  // unequal passwords still enable the commands
    QVERIFY(session.CommandsEnabled());

    for (QLineEdit* field : {session.FileField(), session.PasswordField(), session.RepeatField()}) {
        const QString kept = field->text();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QVERIFY2(!session.CommandsEnabled(), qPrintable(field->objectName()));
        QTest::keyClicks(field, kept);
        QVERIFY(session.CommandsEnabled());
    }

    session.FileField()->clear();
    QTest::keyClicks(session.FileField(), " ");  // a blank is text
    QVERIFY(session.CommandsEnabled());
}

void MainWindowTest::missingInputsText_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("text");
    const QString fileLine = "No file specified.";
    const QString passwordLine = "No password specified.";
    const QString repeatLine = "No repetitive password specified.";
    QTest::newRow("nothing missing") << "f" << "p" << "p" << "";
    QTest::newRow("file") << "" << "p" << "p" << "Missing #1 - " + fileLine;
    QTest::newRow("password") << "f" << "" << "p" << "Missing #1 - " + passwordLine;
    QTest::newRow("repeat") << "f" << "p" << "" << "Missing #1 - " + repeatLine;
    QTest::newRow("file, password") << "" << "" << "p" << "Missing #1 - " + fileLine + "\nMissing #2 - " + passwordLine;
    QTest::newRow("file, repeat") << "" << "p" << "" << "Missing #1 - " + fileLine + "\nMissing #2 - " + repeatLine;
    QTest::newRow("password, repeat") << "f" << "" << "" << "Missing #1 - " + passwordLine + "\nMissing #2 - " + repeatLine;
    QTest::newRow("all") << "" << "" << ""
                         << "Missing #1 - " + fileLine + "\nMissing #2 - " + passwordLine + "\nMissing #3 - " + repeatLine;
}

void MainWindowTest::missingInputsText()
{
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, repeat);
    QFETCH(QString, text);
    Session session;
    session.Type(file, password, repeat);
    QCOMPARE(session.Window().MissingInputsText(), text);
}

void MainWindowTest::inputErrorsAreReportedBeforeAnythingIsConverted_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    const QString notEqual = "The two specified passwords are not equal.";
    QTest::newRow("differ in case") << true << true << "Secret" << "secret" << notEqual << "Password error.";
    QTest::newRow("one empty, decrypt") << false << true << "secret" << "" << notEqual << "Password error.";
    QTest::newRow("one empty, no file") << true << false << "" << "secret" << notEqual << "Password error.";
    QTest::newRow("trailing blank") << false << true << "secret " << "secret" << notEqual << "Password error.";
    QTest::newRow("both empty") << true << true << "" << ""
                                << "Missing #1 - No password specified.\nMissing #2 - No repetitive password specified."
                                << "Input(s) missing.";
    QTest::newRow("no file") << false << false << "secret" << "secret" << "Missing #1 - No file specified."
                             << "Input(s) missing.";
}

void MainWindowTest::inputErrorsAreReportedBeforeAnythingIsConverted()
{
    QFETCH(bool, encrypt);
    QFETCH(bool, withFile);
    QFETCH(QString, password);
    QFETCH(QString, repeat);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    Session session;
    const std::string path = session.folder / "report.doc";
    const Bytes plain = testfiles::PatternBytes(3000);
    testfiles::WriteFile(path, plain);
    session.Type(withFile ? Q(path) : QString(), password, repeat);

    // The buttons may be disabled here; the command itself checks again.
    session.Window().RunCommand(encrypt);

    const ShownMessage message = session.messages.Only();
    QCOMPARE(message.text, text);
    QCOMPARE(message.caption, caption);
    QCOMPARE(message.flags, 48);
    QCOMPARE(testfiles::ReadFile(path), plain);
    QCOMPARE(session.folder.Names(), std::vector<std::string>{"report.doc"});
}

// --- commands --------------------------------------------------------------

void MainWindowTest::everyWayOfStartingACommandConverts_data()
{
    QTest::addColumn<Command>("encrypt");
    QTest::addColumn<Command>("decrypt");
    QTest::newRow("buttons") << Command::EncryptButton << Command::DecryptButton;
    QTest::newRow("shortcuts") << Command::EncryptShortcut << Command::DecryptShortcut;
    QTest::newRow("menu entries") << Command::EncryptMenuEntry << Command::DecryptMenuEntry;
}

void MainWindowTest::everyWayOfStartingACommandConverts()
{
    QFETCH(Command, encrypt);
    QFETCH(Command, decrypt);
    Session session;
    QVERIFY(ShowActive(session.Window()));
    const std::string path = session.folder / "report.doc";
    const Bytes plain = testfiles::PatternBytes(5000, 7);
    testfiles::WriteFile(path, plain);
    session.Type(Q(path), "secret", "secret");

    Run(session, encrypt);
    QCOMPARE(session.folder.Names(), std::vector<std::string>{"report.doc.locked"});
    QVERIFY(IsEncryptedForm(testfiles::ReadFile(path + ".locked"), plain));
    QCOMPARE(session.FileField()->text(), Q(path + ".locked"));

    Run(session, decrypt);
    QCOMPARE(session.folder.Names(), std::vector<std::string>{"report.doc"});
    QCOMPARE(testfiles::ReadFile(path), plain);
    QCOMPARE(session.FileField()->text(), Q(path));

    QVERIFY(session.messages.Shown().empty());
    QCOMPARE(session.PasswordField()->text(), QStringLiteral("secret"));
    QCOMPARE(session.RepeatField()->text(), QStringLiteral("secret"));
}

void MainWindowTest::shortcutsWinOverFieldKeys()
{
    // On X11 desktops a field binds Ctrl+E and Ctrl+D to editing keys; in
    // this window they belong to the Run menu, wherever the focus is.
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    Session session;
    QVERIFY(ShowActive(session.Window()));
    const std::string path = session.folder / "notes.txt";
    const Bytes plain = "meeting at noon";
    testfiles::WriteFile(path, plain);
    session.Type(Q(path), "pw", "pw");

    session.PasswordField()->setFocus();
    QTest::keyClick(session.PasswordField(), Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(session.folder.Names(), std::vector<std::string>{"notes.txt.locked"});
    session.RepeatField()->setFocus();
    QTest::keyClick(session.RepeatField(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(session.folder.Names(), std::vector<std::string>{"notes.txt"});
    QCOMPARE(testfiles::ReadFile(path), plain);
    QCOMPARE(session.RepeatField()->text(), QStringLiteral("pw"));
}

void MainWindowTest::lockedSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("encryptedBefore");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("nameAfter");
    QTest::newRow("encrypt, ticked") << "report.doc" << false << true << true << "report.doc.locked";
    QTest::newRow("encrypt, unticked") << "report.doc" << false << false << true << "report.doc";
    QTest::newRow("encrypt a .locked name") << "report.doc.locked" << false << true << true << "report.doc.locked.locked";
    QTest::newRow("decrypt, ticked") << "report.doc.locked" << true << true << false << "report.doc";
    QTest::newRow("decrypt, unticked") << "report.doc.locked" << true << false << false << "report.doc";
    QTest::newRow("decrypt .LOCKED") << "report.doc.LOCKED" << true << true << false << "report.doc.LOCKED";
    QTest::newRow("decrypt without suffix") << "report.doc" << true << true << false << "report.doc";
}

void MainWindowTest::lockedSuffix()
{
    QFETCH(QString, name);
    QFETCH(bool, encryptedBefore);
    QFETCH(bool, tick);
    QFETCH(bool, encrypt);
    QFETCH(QString, nameAfter);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    Session session;
    QVERIFY(ShowActive(session.Window()));
    const std::string path = session.folder / name.toStdString();
    const Bytes plain = testfiles::PatternBytes(2500, 3);
    if (encryptedBefore)
        Encrypted(path, plain, "pw");
    else
        testfiles::WriteFile(path, plain);
    if (!tick)
        ChooseMenuEntry(session.Window(), QStringLiteral("SettingsMenu"), QStringLiteral("LockedExtMenu"));
    QCOMPARE(session.Action("LockedExtMenu")->isChecked(), tick);
    session.Type(Q(path), "pw", "pw");

    session.Click(encrypt ? "EncryptButton" : "DecryptButton");

    QVERIFY(session.messages.Shown().empty());
    QCOMPARE(session.folder.Names(), std::vector<std::string>{nameAfter.toStdString()});
    QCOMPARE(session.FileField()->text(), Q(session.folder / nameAfter.toStdString()));
    const Bytes after = testfiles::ReadFile(session.folder / nameAfter.toStdString());
    if (encrypt)
        QVERIFY(IsEncryptedForm(after, plain));
    else
        QCOMPARE(after, plain);
}

void MainWindowTest::renameNeverReplacesAFile_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::newRow("encrypt onto an existing .locked name") << true;
    QTest::newRow("decrypt onto an existing plain name") << false;
}

void MainWindowTest::renameNeverReplacesAFile()
{
    QFETCH(bool, encrypt);
    Session session;
    const Bytes plain = testfiles::PatternBytes(1500, 5);
    const Bytes bystander = "another file that must survive";
    const std::string converted = session.folder / (encrypt ? "report.doc" : "report.doc.locked");
    const std::string taken = session.folder / (encrypt ? "report.doc.locked" : "report.doc");
    if (encrypt)
        testfiles::WriteFile(converted, plain);
    else
        Encrypted(converted, plain, "pw");
    testfiles::WriteFile(taken, bystander);
    session.Type(Q(converted), "pw", "pw");

    session.Click(encrypt ? "EncryptButton" : "DecryptButton");

    // The file is converted under its own name, the other file is untouched,
    // and the field still names the converted file.
    QCOMPARE(testfiles::ReadFile(taken), bystander);
    const Bytes after = testfiles::ReadFile(converted);
    if (encrypt)
        QVERIFY(IsEncryptedForm(after, plain));
    else
        QCOMPARE(after, plain);
    QCOMPARE(session.FileField()->text(), Q(converted));
    QCOMPARE(session.folder.Names().size(), std::size_t(2));

    const ShownMessage message = session.messages.Only();
    QCOMPARE(message.caption, QStringLiteral("Rename error."));
    QCOMPARE(message.flags, 48);
    QVERIFY2(message.text.startsWith(encrypt ? "The file was encrypted" : "The file was decrypted"),
             qPrintable(message.text));
    QVERIFY2(message.text.contains(QFileInfo(Q(taken)).fileName()), qPrintable(message.text));
}

// What the window says when the engine does not convert the file, and that
// the file, its name and the field stay as they were.
enum class Fixture { Missing, ReadOnly, TemporaryNameTaken, Folder, PlainFile, WrongPassword, ShortFile };

void MainWindowTest::conversionFailures_data()
{
    QTest::addColumn<int>("fixture");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("text");  // beginning of the text
    QTest::addColumn<QString>("detail");  // found in the text
    QTest::addColumn<QString>("caption");
    const QString notEncrypted = "The file was not encrypted: ";
    const QString notDecrypted = "The file was not decrypted: ";
    const QString erroneous = "Erroneous password!\r\nFile will NOT be unlocked.";
    auto row = [](const char* name, Fixture fixture, bool encrypt, const QString& text, const QString& detail,
                  const char* caption) {
        QTest::newRow(name) << int(fixture) << encrypt << text << detail << QString(caption);
    };
    row("encrypt missing file", Fixture::Missing, true, notEncrypted, "does not exist", "Encryption error.");
    row("encrypt read-only file", Fixture::ReadOnly, true, notEncrypted, "read-only", "Encryption error.");
    row("encrypt with .tmp in the way", Fixture::TemporaryNameTaken, true, notEncrypted, ".tmp", "Encryption error.");
    row("encrypt a folder", Fixture::Folder, true, notEncrypted, "regular file", "Encryption error.");
    row("decrypt wrong password", Fixture::WrongPassword, false, erroneous, "", "Password error.");
    row("decrypt plain file", Fixture::PlainFile, false, erroneous, "", "Password error.");
    row("decrypt file shorter than the head", Fixture::ShortFile, false, erroneous, "", "Password error.");
    row("decrypt missing file", Fixture::Missing, false, erroneous, "", "Password error.");
    row("decrypt read-only file", Fixture::ReadOnly, false, notDecrypted, "read-only", "Decryption error.");
    row("decrypt with .tmp in the way", Fixture::TemporaryNameTaken, false, notDecrypted, ".tmp",
        "Decryption error.");
}

void MainWindowTest::conversionFailures()
{
    QFETCH(int, fixture);
    QFETCH(bool, encrypt);
    QFETCH(QString, text);
    QFETCH(QString, detail);
    QFETCH(QString, caption);
    Session session;
    const std::string name = encrypt ? "report.doc" : "report.doc.locked";
    const std::string path = session.folder / name;
    const Bytes plain = testfiles::PatternBytes(4000, 9);
    switch (Fixture(fixture)) {
    case Fixture::Missing:
        break;
    case Fixture::Folder:
        QVERIFY(mkdir(path.c_str(), 0700) == 0);
        break;
    case Fixture::PlainFile:
        testfiles::WriteFile(path, plain);
        break;
    case Fixture::ShortFile:
        testfiles::WriteFile(path, plain.substr(0, 20));
        break;
    case Fixture::WrongPassword:
        Encrypted(path, plain, "other password");
        break;
    case Fixture::ReadOnly:
    case Fixture::TemporaryNameTaken:
        if (encrypt)
            testfiles::WriteFile(path, plain);
        else
            Encrypted(path, plain, "pw");
        if (Fixture(fixture) == Fixture::ReadOnly)
            QVERIFY(chmod(path.c_str(), 0444) == 0);
        else
            testfiles::WriteFile(path + ".tmp", "in the way");
        break;
    }
    const std::vector<std::string> namesBefore = session.folder.Names();
    const Bytes before = testfiles::Exists(path) && Fixture(fixture) != Fixture::Folder ? testfiles::ReadFile(path) : Bytes();
    session.Type(Q(path), "pw", "pw");

    session.Click(encrypt ? "EncryptButton" : "DecryptButton");

    const ShownMessage message = session.messages.Only();
    QVERIFY2(message.text.startsWith(text), qPrintable(message.text));
    QVERIFY2(message.text.contains(detail), qPrintable(message.text));
    QCOMPARE(message.caption, caption);
    QCOMPARE(message.flags, 48);
    QCOMPARE(session.folder.Names(), namesBefore);
    if (!before.empty())
        QCOMPARE(testfiles::ReadFile(path), before);
    QCOMPARE(session.FileField()->text(), Q(path));
}

void MainWindowTest::decryptsFileEncryptedUnderWindowsPassword()
{
    // Windows hashed "café" as its Windows-1252 bytes, with é as 0xE9.
    Session session;
    const std::string path = session.folder / "letter.txt.locked";
    const Bytes plain = "Dear Anna,";
    Encrypted(path, plain, "caf\xE9");
    session.Type(Q(path), QStringLiteral("café"), QStringLiteral("café"));

    session.Click("DecryptButton");

    QVERIFY(session.messages.Shown().empty());
    QCOMPARE(testfiles::ReadFile(session.folder / "letter.txt"), plain);
}

void MainWindowTest::convertsAFileWhoseNameIsNotUtf8()
{
    // Such a name shows with a replacement character; the command still
    // works on the file the file manager named, and renames that one.
    testfiles::PrivateHome home;
    testfiles::TempFolder folder;
    MessageLog messages;
    const std::string path = folder / "caf\xE9.txt";
    testfiles::WriteFile(path, "menu");
    TfrmMain window({QStringLiteral("quorvex"), QFile::decodeName(QByteArray::fromStdString(path))},
                    QByteArray::fromStdString(path));
    TypeInto(window.findChild<QLineEdit*>("PasswordOneEdit"), QStringLiteral("pw"));
    TypeInto(window.findChild<QLineEdit*>("PasswordTwoEdit"), QStringLiteral("pw"));

    QTest::mouseClick(window.findChild<QPushButton*>("EncryptButton"), Qt::LeftButton);
    QVERIFY(messages.Shown().empty());
    QVERIFY(IsEncryptedForm(testfiles::ReadFile(path + ".locked"), "menu"));
    QCOMPARE(folder.Names(), std::vector<std::string>{"caf\xE9.txt.locked"});

    QTest::mouseClick(window.findChild<QPushButton*>("DecryptButton"), Qt::LeftButton);
    QVERIFY(messages.Shown().empty());
    QCOMPARE(testfiles::ReadFile(path), Bytes("menu"));
}

// --- the lock-extension setting --------------------------------------------

void MainWindowTest::firstStartStoresLockExtensionDefault()
{
    Session session;
    QVERIFY(session.Action("LockedExtMenu")->isChecked());
    QCOMPARE(StoredLockExtension(), std::string("TRUE"));
}

void MainWindowTest::storedLockExtensionIsLoaded_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("TRUE") << "TRUE" << true;
    QTest::newRow("FALSE") << "FALSE" << false;
    QTest::newRow("small letters") << "true" << false;
    QTest::newRow("first letter capital") << "True" << false;
    QTest::newRow("trailing blank") << "TRUE " << false;
    QTest::newRow("empty value") << "" << false;
    QTest::newRow("key without value") << QString() << false;
}

void MainWindowTest::storedLockExtensionIsLoaded()
{
    QFETCH(QString, stored);
    QFETCH(bool, checked);
    testfiles::PrivateHome home;
    if (stored.isNull()) {
        TRegistry registry;
        QVERIFY(registry.OpenKey(SettingsKey.toStdString(), true));
    } else {
        StoreLockExtension(stored.toStdString());
    }
    const Bytes hiveBefore = HiveBytes();
    {
        MessageLog messages;
        TfrmMain window({"quorvex"});
        QCOMPARE(window.findChild<QAction*>("LockedExtMenu")->isChecked(), checked);
        QVERIFY(messages.Shown().empty());
    }
    QCOMPARE(HiveBytes(), hiveBefore);  // no default written, nothing rewritten
}

void MainWindowTest::lockExtensionMenuStoresEveryClick()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    Session session;
    QVERIFY(ShowActive(session.Window()));
    QAction* tick = session.Action("LockedExtMenu");
    for (const bool expected : {false, true, false}) {
        ChooseMenuEntry(session.Window(), QStringLiteral("SettingsMenu"), QStringLiteral("LockedExtMenu"));
        QCOMPARE(tick->isChecked(), expected);
        QCOMPARE(StoredLockExtension(), std::string(expected ? "TRUE" : "FALSE"));
    }

    // The next start shows what was stored.
    session.Start();
    QVERIFY(!session.Action("LockedExtMenu")->isChecked());
    QVERIFY(session.messages.Shown().empty());
}

void MainWindowTest::brokenSettingsAtStartAreReportedAndWindowOpens()
{
    testfiles::PrivateHome home;
    QVERIFY(mkdir((home.ConfigHome()).c_str(), 0700) == 0);
    QVERIFY(mkdir((home.ConfigHome() + "/quorvex").c_str(), 0700) == 0);
    const Bytes broken = "this is no registry file\n[unfinished section\n";
    testfiles::WriteFile(Hive(), broken);
    MessageLog messages;

    TfrmMain window({"quorvex", "/tmp/report.doc"});

    const ShownMessage message = messages.Only();
    QVERIFY2(message.text.contains(Q(Hive())), qPrintable(message.text));
    QCOMPARE(message.flags, int(MB_ICONSTOP));
    QCOMPARE(message.caption, Application()->Title());
    // The steps after the failing one did not run, and the window opens as
    // its form describes it, with a working file field.
    QVERIFY(window.findChild<QAction*>("LockedExtMenu")->isChecked());
    QVERIFY(window.findChild<QLineEdit*>("FileEdit")->text().isEmpty());
    QVERIFY(ShowActive(window));
    QCOMPARE(window.findChild<QLineEdit*>("PasswordOneEdit")->echoMode(), QLineEdit::Password);
    QCOMPARE(testfiles::ReadFile(Hive()), broken);
}

void MainWindowTest::brokenSettingsOnClickAreReportedAndWindowGoesOn()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    Session session;
    QVERIFY(ShowActive(session.Window()));
    const Bytes broken = "[HKEY_CURRENT_USER\\Software\n\"unterminated=\n";
    testfiles::WriteFile(Hive(), broken);

    ChooseMenuEntry(session.Window(), QStringLiteral("SettingsMenu"), QStringLiteral("LockedExtMenu"));

    const ShownMessage message = session.messages.Only();
    QCOMPARE(message.flags, int(MB_ICONSTOP));
    QVERIFY(!session.Action("LockedExtMenu")->isChecked());  // the tick went ahead of the store
    QCOMPARE(testfiles::ReadFile(Hive()), broken);

    // The program goes on.
    session.Type("/tmp/x", "a", "a");
    QVERIFY(session.CommandsEnabled());
}

// --- the file chooser ------------------------------------------------------

void MainWindowTest::fileChooserSettings()
{
    Session session;
    session.Type(Q(session.folder / "report.doc"), {}, {});
    QFileDialog* seen = nullptr;
    QString nameBox = "not looked at";
    WhenModalAppears([&](QWidget* modal) {
        seen = qobject_cast<QFileDialog*>(modal);
        if (seen == nullptr) {
            modal->close();
            return;
        }
        QCOMPARE(seen->windowTitle(), QStringLiteral("Specify file to be encrypted/decrypted."));
        QCOMPARE(seen->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(seen->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(seen->nameFilters(),
                 (QStringList{"All files (*)", "Locked files (*.locked)", "Text files (*.txt)"}));
        QCOMPARE(seen->selectedNameFilter(), QStringLiteral("All files (*)"));
        if (auto* box = seen->findChild<QLineEdit*>("fileNameEdit"))
            nameBox = box->text();
        seen->reject();
    });
    session.Click("BrowseButton");
    QVERIFY(seen != nullptr);
    QCOMPARE(nameBox, QString(""));
    QVERIFY(session.messages.Shown().empty());
}

void MainWindowTest::fileChooserStartsInFieldsFolder_data()
{
    QTest::addColumn<QString>("fieldText");
    // "<tmp>" stands for the test's folder, "<default>" for where the chooser
    // starts when it is given no folder.
    QTest::addColumn<QString>("folder");
    QTest::newRow("empty field") << "" << "<default>";
    QTest::newRow("file in a folder") << "<tmp>/sub/report.doc" << "<tmp>/sub";
    QTest::newRow("folder with trailing slash") << "<tmp>/sub/" << "<tmp>/sub";
    QTest::newRow("no slash") << "report.doc" << "<default>";
    QTest::newRow("file in the root folder") << "/report.doc" << "/";
}

void MainWindowTest::fileChooserStartsInFieldsFolder()
{
    QFETCH(QString, fieldText);
    QFETCH(QString, folder);
    Session session;
    const QString tmp = Q(session.folder.Path());
    QVERIFY(QDir().mkpath(tmp + "/sub"));
    fieldText.replace("<tmp>", tmp);
    folder.replace("<tmp>", tmp).replace("<default>", QFileDialog().directory().absolutePath());
    session.Type(fieldText, {}, {});

    QString startedIn;
    WhenModalAppears([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal))
            startedIn = dialog->directory().absolutePath();
        modal->close();
    });
    session.Click("BrowseButton");
    QCOMPARE(startedIn, QDir(folder).absolutePath());
    QCOMPARE(session.FileField()->text(), fieldText);
}

void MainWindowTest::fileChooserPutsChosenFileInField()
{
    Session session;
    const std::string chosen = session.folder / "chosen file.txt";
    testfiles::WriteFile(chosen, "x");
    session.Type({}, "pw", "pw");
    QVERIFY(!session.CommandsEnabled());

    WhenModalAppears([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* buttons = modal->findChild<QDialogButtonBox*>();
        if (dialog == nullptr || buttons == nullptr) {
            modal->close();
            return;
        }
        // The path typed whole into the name box, then Open. Typing key by
        // key races with the dialog reading folders in the background.
        auto* nameBox = modal->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(nameBox != nullptr);
        nameBox->setText(Q(chosen));
        QMetaObject::invokeMethod(dialog, "accept");
    });

    session.Click("BrowseButton");

    QCOMPARE(session.FileField()->text(), Q(chosen));
    QVERIFY(session.CommandsEnabled());
}

void MainWindowTest::fileChooserCancelChangesNothing()
{
    Session session;
    session.Type(Q(session.folder / "report.doc"), "pw", {});
    WhenModalAppears([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    session.Click("BrowseButton");
    QCOMPARE(session.FileField()->text(), Q(session.folder / "report.doc"));
    QVERIFY(!session.CommandsEnabled());
}

// --- shutdown --------------------------------------------------------------

void MainWindowTest::shutdownStoresNoSetting_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("File > Exit") << "menu";
    QTest::newRow("Ctrl+Q") << "shortcut";
    QTest::newRow("closing the window") << "close";
}

void MainWindowTest::shutdownStoresNoSetting()
{
    QFETCH(QString, how);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    Session session;
    QVERIFY(ShowActive(session.Window()));
    ChooseMenuEntry(session.Window(), QStringLiteral("SettingsMenu"), QStringLiteral("LockedExtMenu"));
    const Bytes hive = HiveBytes();
    QVERIFY(!hive.empty());

    const bool ended = RunUntilTerminated([&] {
        if (how == "menu")
            ChooseMenuEntry(session.Window(), QStringLiteral("FileMenu"), QStringLiteral("ExitMenu"));
        else if (how == "shortcut")
            QTest::keySequence(&session.Window(), QKeySequence(QStringLiteral("Ctrl+Q")));
        else
            session.Window().close();
    });

    QVERIFY(ended);
    QCOMPARE(HiveBytes(), hive);
    QVERIFY(session.messages.Shown().empty());
}

int main(int argc, char** argv)
{
    // Qt's own settings (the file chooser's history) stay in a private place too.
    testfiles::PrivateHome processHome;
    TApplication application(argc, argv);
    application.Initialize();
    application.setAttribute(Qt::AA_DontUseNativeDialogs);
    application.setQuitOnLastWindowClosed(false);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
