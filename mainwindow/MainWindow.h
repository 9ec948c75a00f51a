#pragma once

// The main window: the file field, the password typed twice, and the
// Encrypt, Decrypt and Browse commands, with the File, Run, Settings and
// Help menus. Its controls, their captions and the binding of their events
// to the handlers below live in MainWindow.ui.

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

class FileManager;
class QCloseEvent;
class QKeyEvent;
class RegistryManager;
class QLineEdit;

namespace Ui {
class TfrmMain;
}

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    // `commandLine` is the program followed by its arguments; the first
    // argument, if any, is the file to convert.
    // `firstArgumentBytes` are the first argument's bytes as the system gave
    // them, for a file name that is not valid UTF-8 and so has no exact text.
    explicit TfrmMain(const QStringList& commandLine, const QByteArray& firstArgumentBytes = {},
                      QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The numbered list of the empty fields, one line each, or "".
    QString MissingInputsText() const;

signals:
    // The window's own events, bound to FormCreate and FormClose in the form.
    void created();
    void closing();

public slots:
    void FormCreate();
    void FormClose();
    void ExitMenuClick();

    void FileEditChange();
    void PasswordOneEditChange();
    void PasswordTwoEditChange();

    void EncryptButtonClick();
    void DecryptButtonClick();
    void EncryptMenuClick();
    void DecryptMenuClick();

    void BrowseButtonClick();
    void LockedExtMenuClick();
    void AboutMenuClick();
    void HelptopicsMenuClick();

public:
    // Enables the four command controls exactly while every field holds text.
    void UpdateCommandAvailability();
    // Checks the inputs and runs the encrypt (true) or decrypt (false) command.
    void RunCommand(bool encrypt);

    // Where the file chooser starts for the given file field text: the text
    // before its last '/', "/" for a file in the root folder, "" (the
    // chooser's own choice) when there is no '/'.
    static QString StartingFolder(const QString& fileFieldText);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MaskPassword(QLineEdit* field);
    void PlaceOuterCornerAt(const QPoint& point);
    void StoreLockExtensionDefault();
    void LoadLockExtensionSetting();
    void EncryptNamedFile(const QByteArray& path, const QByteArray& password);
    void DecryptNamedFile(const QByteArray& path, const QByteArray& password);
    // Gives the converted file its new name, never replacing another file;
    // the file field follows the file's real name.
    void RenameConvertedFile(const QByteArray& oldName, const QByteArray& newName, const QString& conversion);
    void ShowConversionFailure(const QByteArray& path, const QString& text, const QString& caption);
    bool IsMenuShortcut(const QKeyEvent& key) const;
    // The file field's path as bytes for the system.
    QByteArray FilePathBytes() const;
    // Shows a path in the file field, remembering its exact bytes.
    void ShowFilePath(const QByteArray& pathBytes);

    std::unique_ptr<Ui::TfrmMain> ui;
    const QStringList commandLine;
    const QByteArray firstArgumentBytes;
    // A name whose bytes are not UTF-8 shows with replacement characters;
    // while the field shows that text, these are the bytes it stands for.
    QString exactPathText;
    QByteArray exactPathBytes;
    std::unique_ptr<FileManager> fileManager;
    // The settings store; also what the Help topics command reads the
    // installation directory from.
    std::unique_ptr<RegistryManager> registryManager;
    // Read by the Help topics command; empty until its first use.
    QString installationDirectory;
};
