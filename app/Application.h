#pragma once

// The application object: what the window asks of "the application" —
// message boxes, the exception report, the title, the help file, the forms it
// owns and the message loop with its way out.

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QWidget;

// Flags of MessageBox: one button set plus one icon, added together
// (48 = one OK button and the exclamation icon).
enum MessageBoxFlag : int {
    MB_OK = 0,
    MB_OKCANCEL = 1,
    MB_ABORTRETRYIGNORE = 2,
    MB_YESNOCANCEL = 3,
    MB_YESNO = 4,
    MB_RETRYCANCEL = 5,
    MB_ICONSTOP = 16,
    MB_ICONQUESTION = 32,
    MB_ICONEXCLAMATION = 48,
    MB_ICONINFORMATION = 64,
};

// What MessageBox returns: the button the user chose.
enum MessageBoxAnswer : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

class TApplication : public QApplication {
    Q_OBJECT

public:
    // Receives every message box instead of the screen while it is set; its
    // result is the answer MessageBox gives.
    using MessageBoxHandler =
        std::function<int(const QString& text, const QString& caption, int flags)>;

    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // Everything the forms rely on before the first of them is created.
    void Initialize();

    // Creates a form that the application owns until it ends; the first form
    // created is the main form, which Run shows.
    template <class Form, class... Arguments>
    Form* CreateForm(Arguments&&... arguments)
    {
        auto form = std::make_unique<Form>(std::forward<Arguments>(arguments)...);
        Form* created = form.get();
        AdoptForm(std::move(form));
        return created;
    }

    // The application's own name for the user: the caption of exception
    // reports and the main form's icon text (what a task bar shows). The
    // forms' captions are left exactly as they are.
    QString Title() const;
    void SetTitle(const QString& title);

    QString HelpFile() const { return helpFile; }
    void SetHelpFile(const QString& file) { helpFile = file; }
    // Opens HelpFile at the topic; false when the help could not be shown.
    bool HelpJump(const QString& topic);

    // Shows the main form and runs the message loop until Terminate.
    void Run();
    // Ends the Run in progress, or the next one when none is running yet.
    void Terminate();
    bool Terminated() const { return terminated; }

    // Shows `text` in a modal message box; `flags` as MessageBoxFlag.
    int MessageBox(const QString& text, const QString& caption, int flags);
    void SetMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler = std::move(handler); }

    // The exception report: the exception's message in a message box with a
    // stop icon, captioned with the title.
    void ShowException(const std::exception& exception);

    // An exception that escapes an event handler is reported and the
    // program goes on with the next event.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void AdoptForm(std::unique_ptr<QWidget> form);
    int ShowMessageBox(const QString& text, const QString& caption, int flags);

    std::vector<std::unique_ptr<QWidget>> forms;
    QWidget* mainForm = nullptr;
    QString title;
    QString helpFile;
    bool terminated = false;
    MessageBoxHandler messageBoxHandler;
};

// The one application object of the process.
TApplication* Application();
