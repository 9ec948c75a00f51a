#include "mainwindow/MainWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QProxyStyle>
#include <QWindow>

#include <cerrno>
#include <cstring>
#include <string.h>

#include "Version.h"
#include "about/CommonAboutDialog.h"
#include "app/Application.h"
#include "engine/CheckPhrase.h"
#include "engine/ConversionFailure.h"
#include "engine/FileManager.h"
#include "engine/WindowsPassword.h"
#include "platform/RenameNoReplace.h"
#include "settings/LockExtension.h"
#include "settings/RegistryManager.h"
#include "share/icons/Icons.h"
#include "ui_MainWindow.h"

namespace {

// Password fields show one "*" per character, whatever the style's own
// choice of mask character, and never show the last typed character.
class PasswordMaskStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A conversion blocks the window until it ends; the busy pointer says so.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The password's bytes leave memory with the command.
class PasswordBytes {
public:
    explicit PasswordBytes(const QString& text) : bytes(text.toUtf8()) {}
    ~PasswordBytes() { explicit_bzero(bytes.data(), static_cast<size_t>(bytes.size())); }
    PasswordBytes(const PasswordBytes&) = delete;
    PasswordBytes& operator=(const PasswordBytes&) = delete;
    const QByteArray& Bytes() const { return bytes; }

private:
    QByteArray bytes;
};

const QString NotEqualPasswordsText = QStringLiteral("The two specified passwords are not equal.");
const QString PasswordErrorCaption = QStringLiteral("Password error.");
const QString MissingInputsCaption = QStringLiteral("Input(s) missing.");
const QString ErroneousPasswordText = QStringLiteral("Erroneous password!\r\nFile will NOT be unlocked.");
const QString EncryptionErrorCaption = QStringLiteral("Encryption error.");
const QString DecryptionErrorCaption = QStringLiteral("Decryption error.");
const QString RenameErrorCaption = QStringLiteral("Rename error.");

const QString FileChooserTitle = QStringLiteral("Specify file to be encrypted/decrypted.");
// "All files" matches every name: "*.*" would hide the names without a dot.
const QStringList FileChooserFilters = {
    QStringLiteral("All files (*)"),
    QStringLiteral("Locked files (*.locked)"),
    QStringLiteral("Text files (*.txt)"),
};

// Failures after which the decrypt command says the password is wrong: the
// head did not match, or the file could not be opened or read before the
// password was known to be right.
bool IsPasswordFailure(const ConversionFailure& failure)
{
    return !failure.passwordAccepted &&
           (failure.reason == FailureReason::WrongPassword || failure.reason == FailureReason::CannotRead);
}

QString Sentence(QString text)
{
    if (!text.endsWith(u'.'))
        text += u'.';
    return text;
}

}  // namespace

TfrmMain::TfrmMain(const QStringList& commandLine, const QByteArray& firstArgumentBytes, QWidget* parent)
    : QMainWindow(parent),
      ui(std::make_unique<Ui::TfrmMain>()),
      commandLine(commandLine),
      firstArgumentBytes(firstArgumentBytes)
{
    LoadIcons();
    ui->setupUi(this);

    // Title bar with the system menu, minimise and close: no maximise, and
    // the frame keeps the window's size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    setWindowIcon(ApplicationIcon());

    // Labels take the width of their captions in whatever face stands in
    // for the form's font.
    for (QLabel* label : {ui->FileLabelFileLabel, ui->PasswordOneLabel, ui->PasswordTwoLabel})
        label->adjustSize();

    // Inside a field, Ctrl+E and Ctrl+D would otherwise move the cursor or
    // delete a character on X11 instead of running the menu's command.
    for (QLineEdit* field : {ui->FileEdit, ui->PasswordOneEdit, ui->PasswordTwoEdit})
        field->installEventFilter(this);

    // The window's creation event. Like every handler, a failure in it is
    // reported and the window still opens.
    try {
        emit created();
    } catch (const std::exception& exception) {
        Application()->ShowException(exception);
    }
}

TfrmMain::~TfrmMain() = default;

// --- start-up and shutdown -------------------------------------------------

void TfrmMain::FormCreate()
{
    MaskPassword(ui->PasswordOneEdit);
    MaskPassword(ui->PasswordTwoEdit);
    fileManager = std::make_unique<FileManager>(CheckPhrase);
    registryManager = std::make_unique<RegistryManager>(SettingsCompany, SettingsProduct);
    StoreLockExtensionDefault();
    UpdateCommandAvailability();
    LoadLockExtensionSetting();
    if (commandLine.size() > 1) {
        if (!firstArgumentBytes.isEmpty() && QFile::decodeName(firstArgumentBytes) == commandLine.at(1))
            ShowFilePath(firstArgumentBytes);
        else
            ui->FileEdit->setText(commandLine.at(1));
        // The file is chosen already: what is left to type is the password.
        ui->PasswordOneEdit->setFocus();
    }
    PlaceOuterCornerAt(QCursor::pos());
    raise();
}

void TfrmMain::PlaceOuterCornerAt(const QPoint& point)
{
    // Before the window is first shown, Qt cannot know the frame that the
    // window manager will draw, and asks it to put the client area at the
    // position. The frame's own corner belongs there, even where the window
    // then reaches past the edge of the screen.
    move(point);
    winId();
    windowHandle()->setFramePosition(point);
}

void TfrmMain::MaskPassword(QLineEdit* field)
{
    auto* style = new PasswordMaskStyle();
    style->setParent(field);
    field->setStyle(style);
    field->setEchoMode(QLineEdit::Password);
}

void TfrmMain::ExitMenuClick()
{
    Application()->Terminate();
}

void TfrmMain::FormClose()
{
    ExitMenuClick();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    emit closing();
    event->accept();
}

// --- input checks ----------------------------------------------------------

void TfrmMain::FileEditChange()
{
    UpdateCommandAvailability();
}

void TfrmMain::PasswordOneEditChange()
{
    UpdateCommandAvailability();
}

void TfrmMain::PasswordTwoEditChange()
{
    UpdateCommandAvailability();
}

void TfrmMain::UpdateCommandAvailability()
{
    const bool incomplete = ui->PasswordOneEdit->text().isEmpty() || ui->PasswordTwoEdit->text().isEmpty() ||
                            ui->FileEdit->text().isEmpty();
    ui->EncryptButton->setEnabled(!incomplete);
    ui->DecryptButton->setEnabled(!incomplete);
    ui->EncryptMenu->setEnabled(!incomplete);
    ui->DecryptMenu->setEnabled(!incomplete);
}

QString TfrmMain::MissingInputsText() const
{
    QString text;
    int number = 1;
    const auto addLine = [&](const QString& what) {
        if (number > 1)
            text += u'\n';
        text += QStringLiteral("Missing #%1 - %2").arg(number).arg(what);
        ++number;
    };
    if (ui->FileEdit->text().isEmpty())
        addLine(QStringLiteral("No file specified."));
    if (ui->PasswordOneEdit->text().isEmpty())
        addLine(QStringLiteral("No password specified."));
    if (ui->PasswordTwoEdit->text().isEmpty())
        addLine(QStringLiteral("No repetitive password specified."));
    return text;
}

// --- encrypt and decrypt ---------------------------------------------------

void TfrmMain::EncryptButtonClick()
{
    RunCommand(true);
}

void TfrmMain::DecryptButtonClick()
{
    RunCommand(false);
}

void TfrmMain::EncryptMenuClick()
{
    RunCommand(true);
}

void TfrmMain::DecryptMenuClick()
{
    RunCommand(false);
}

void TfrmMain::RunCommand(bool encrypt)
{
    if (ui->PasswordOneEdit->text() != ui->PasswordTwoEdit->text()) {
        Application()->MessageBox(NotEqualPasswordsText, PasswordErrorCaption, MB_ICONEXCLAMATION);
        return;
    }
    const QString missing = MissingInputsText();
    if (!missing.isEmpty()) {
        Application()->MessageBox(missing, MissingInputsCaption, MB_ICONEXCLAMATION);
        return;
    }

    const QByteArray path = FilePathBytes();
    const PasswordBytes password(ui->PasswordOneEdit->text());
    if (encrypt)
        EncryptNamedFile(path, password.Bytes());
    else
        DecryptNamedFile(path, password.Bytes());
}

void TfrmMain::EncryptNamedFile(const QByteArray& path, const QByteArray& password)
{
    bool encrypted = false;
    {
        BusyCursor busy;
        encrypted = fileManager->EncryptInPlace(path.constData(), password.constData());
    }
    if (!encrypted) {
        ShowConversionFailure(path, QStringLiteral("The file was not encrypted: "), EncryptionErrorCaption);
        return;
    }
    if (ui->LockedExtMenu->isChecked())
        RenameConvertedFile(path, path + LockedSuffix, QStringLiteral("encrypted"));
}

void TfrmMain::DecryptNamedFile(const QByteArray& path, const QByteArray& password)
{
    bool decrypted = false;
    {
        BusyCursor busy;
        decrypted = DecryptAcceptingWindowsPassword(*fileManager, path.constData(), password.constData());
    }
    if (!decrypted) {
        if (IsPasswordFailure(fileManager->LastFailure()))
            Application()->MessageBox(ErroneousPasswordText, PasswordErrorCaption, MB_ICONEXCLAMATION);
        else
            ShowConversionFailure(path, QStringLiteral("The file was not decrypted: "), DecryptionErrorCaption);
        return;
    }
    if (const std::optional<std::string> name = NameWithoutLockedSuffix(path.toStdString()))
        RenameConvertedFile(path, QByteArray::fromStdString(*name), QStringLiteral("decrypted"));
}

void TfrmMain::ShowConversionFailure(const QByteArray& path, const QString& text, const QString& caption)
{
    const std::string reason = DescribeFailure(fileManager->LastFailure(), path.toStdString());
    Application()->MessageBox(Sentence(text + QString::fromLocal8Bit(reason)), caption, MB_ICONEXCLAMATION);
}

void TfrmMain::RenameConvertedFile(const QByteArray& oldName, const QByteArray& newName, const QString& conversion)
{
    if (RenameNoReplace(oldName.constData(), newName.constData())) {
        ShowFilePath(newName);
        return;
    }
    const int error = errno;
    const QString oldFileName = QFileInfo(QFile::decodeName(oldName)).fileName();
    const QString newFileName = QFileInfo(QFile::decodeName(newName)).fileName();
    QString text = QStringLiteral("The file was %1, but it keeps its name \"%2\": ").arg(conversion, oldFileName);
    if (error == EEXIST)
        text += QStringLiteral("a file named \"%1\" is already there.").arg(newFileName);
    else
        text += QStringLiteral("it could not be renamed to \"%1\" (%2).")
                    .arg(newFileName, QString::fromLocal8Bit(std::strerror(error)));
    Application()->MessageBox(text, RenameErrorCaption, MB_ICONEXCLAMATION);
}

QByteArray TfrmMain::FilePathBytes() const
{
    const QString text = ui->FileEdit->text();
    if (!exactPathBytes.isEmpty() && text == exactPathText)
        return exactPathBytes;
    return QFile::encodeName(text);
}

void TfrmMain::ShowFilePath(const QByteArray& pathBytes)
{
    exactPathText = QFile::decodeName(pathBytes);
    exactPathBytes = pathBytes;
    ui->FileEdit->setText(exactPathText);
}

// --- file chooser ----------------------------------------------------------

QString TfrmMain::StartingFolder(const QString& fileFieldText)
{
    const qsizetype lastDelimiter = fileFieldText.lastIndexOf(u'/');
    if (lastDelimiter < 0)
        return {};
    if (lastDelimiter == 0)
        return QStringLiteral("/");
    return fileFieldText.left(lastDelimiter);
}

void TfrmMain::BrowseButtonClick()
{
    QFileDialog dialog(this, FileChooserTitle);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(FileChooserFilters);
    dialog.selectNameFilter(FileChooserFilters.constFirst());
    const QString text = ui->FileEdit->text();
    if (!text.isEmpty()) {
        const QString folder = StartingFolder(text);
        if (!folder.isEmpty())
            dialog.setDirectory(folder);
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        ui->FileEdit->setText(dialog.selectedFiles().constFirst());
}

// --- settings --------------------------------------------------------------

void TfrmMain::StoreLockExtensionDefault()
{
    if (!registryManager->EntryExists(LockExtensionEntry))
        registryManager->WriteEntry(LockExtensionEntry, LockExtensionText(ui->LockedExtMenu->isChecked()));
}

void TfrmMain::LoadLockExtensionSetting()
{
    ui->LockedExtMenu->setChecked(LockExtensionIsOn(registryManager->ReadEntry(LockExtensionEntry)));
}

void TfrmMain::LockedExtMenuClick()
{
    // A checkable menu entry has flipped its tick before the click arrives,
    // so the tick now shows the state the user asked for; store that.
    const bool on = ui->LockedExtMenu->isChecked();
    registryManager->WriteEntry(LockExtensionEntry, LockExtensionText(on));
}

// --- help ------------------------------------------------------------------

void TfrmMain::AboutMenuClick()
{
    TAboutDialog dialog(ComposeAboutText(), QStringLiteral(QUORVEX_PRODUCT_NAME), this);
    dialog.exec();
}

void TfrmMain::HelptopicsMenuClick()
{
    installationDirectory = QString::fromStdString(registryManager->ReadEntry(InstallationDirectoryEntry));
    // Joined as they are: the directory is stored without a trailing "/".
    Application()->SetHelpFile(installationDirectory + QStringLiteral("/help/Quorvex.html"));
    Application()->HelpJump(QStringLiteral("Introduction"));
}

// --- keyboard --------------------------------------------------------------

bool TfrmMain::IsMenuShortcut(const QKeyEvent& key) const
{
    const QKeySequence pressed(key.keyCombination());
    for (const QAction* action : {ui->ExitMenu, ui->EncryptMenu, ui->DecryptMenu, ui->HelptopicsMenu}) {
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed)
            return true;
    }
    return false;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // Letting the shortcut override go unaccepted hands the key to the menu.
    if (event->type() == QEvent::ShortcutOverride && IsMenuShortcut(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
