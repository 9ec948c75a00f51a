#include "app/Application.h"

#include <QAbstractButton>
#include <QFont>
#include <QMessageBox>
#include <QWidget>

#include "Version.h"
#include "help/HelpEngine.h"
#include "share/icons/Icons.h"

namespace {

struct ButtonChoice {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonChoice> ButtonsFor(int flags)
{
    switch (flags & 0x0F) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconFor(int flags)
{
    switch (flags & 0xF0) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// The answer a box gives when it is closed without a button: Cancel where
// there is one, otherwise the only button's own.
int AnswerWhenClosed(const std::vector<ButtonChoice>& choices)
{
    for (const ButtonChoice& choice : choices) {
        if (choice.answer == IDCANCEL)
            return IDCANCEL;
    }
    return choices.size() == 1 ? choices.front().answer : IDCANCEL;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TApplication::~TApplication()
{
    // The forms go first, newest first, while the application still exists.
    while (!forms.empty())
        forms.pop_back();
}

void TApplication::Initialize()
{
    setApplicationName(QStringLiteral("quorvex"));
    // Names the desktop entry, so a Wayland dock finds the icon and the name.
    setDesktopFileName(QStringLiteral("quorvex"));
    setWindowIcon(ApplicationIcon());

    // The forms are drawn in "MS Sans Serif", which Linux machines rarely
    // have. Fall back on faces of similar width before the platform's
    // default sans serif face, which is much wider and would crowd the
    // captions on the fixed-size window.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arimo"), QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"),
                                QStringLiteral("Nimbus Sans L"), QStringLiteral("Helvetica"),
                                QStringLiteral("DejaVu Sans Condensed")});
}

void TApplication::AdoptForm(std::unique_ptr<QWidget> form)
{
    if (mainForm == nullptr) {
        mainForm = form.get();
        if (!title.isEmpty())
            mainForm->setWindowIconText(title);
    }
    forms.push_back(std::move(form));
}

QString TApplication::Title() const
{
    // Until the program names itself, reports carry the product's name.
    return title.isEmpty() ? QStringLiteral(QUORVEX_PRODUCT_NAME) : title;
}

void TApplication::SetTitle(const QString& newTitle)
{
    // Deliberately not the application display name: Qt appends that to the
    // caption of every window on some platforms.
    title = newTitle;
    if (mainForm != nullptr)
        mainForm->setWindowIconText(title);
}

bool TApplication::HelpJump(const QString& topic)
{
    return ShowHelpTopic(helpFile, topic);
}

void TApplication::Run()
{
    if (!terminated) {
        if (mainForm != nullptr)
            mainForm->show();
        exec();
    }
    terminated = false;
}

void TApplication::Terminate()
{
    terminated = true;
    exit(0);
}

int TApplication::MessageBox(const QString& text, const QString& caption, int flags)
{
    if (messageBoxHandler)
        return messageBoxHandler(text, caption, flags);
    return ShowMessageBox(text, caption, flags);
}

int TApplication::ShowMessageBox(const QString& text, const QString& caption, int flags)
{
    QWidget* owner = activeModalWidget();
    if (owner == nullptr)
        owner = activeWindow();
    if (owner == nullptr)
        owner = mainForm;

    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setIcon(IconFor(flags));
    // Paths and names go into these texts: never read them as markup. A
    // carriage return before a line feed means one line break, as it does
    // for the messages' authors.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const std::vector<ButtonChoice> choices = ButtonsFor(flags);
    for (const ButtonChoice& choice : choices)
        box.addButton(choice.button);
    box.setDefaultButton(choices.front().button);
    box.exec();

    const QAbstractButton* clicked = box.clickedButton();
    for (const ButtonChoice& choice : choices) {
        if (clicked != nullptr && clicked == box.button(choice.button))
            return choice.answer;
    }
    return AnswerWhenClosed(choices);
}

void TApplication::ShowException(const std::exception& exception)
{
    QString message = QString::fromLocal8Bit(exception.what());
    if (!message.isEmpty() && !message.endsWith(u'.') && !message.endsWith(u'!') && !message.endsWith(u'?'))
        message += u'.';
    MessageBox(message, Title(), MB_OK | MB_ICONSTOP);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& exception) {
        ShowException(exception);
    }
    return true;  // reported: nothing more is to be done with this event
}

TApplication* Application()
{
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}
