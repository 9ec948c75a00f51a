#include "help/HelpWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>

HelpWindow::HelpWindow() {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Help"));
    // Reading help must not keep the program running once its own window
    // has been closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    browser->setOpenExternalLinks(true);  // web and mail links go to the desktop
    browser->document()->setDocumentMargin(12);
    setCentralWidget(browser);

    QToolBar* toolBar = addToolBar(tr("Navigation"));
    toolBar->setObjectName(QStringLiteral("HelpToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    QAction* backAction = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("&Back"),
                                    browser, &QTextBrowser::backward);
    backAction->setShortcut(QKeySequence::Back);
    backAction->setEnabled(false);
    QAction* forwardAction = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                                       tr("&Forward"), browser, &QTextBrowser::forward);
    forwardAction->setShortcut(QKeySequence::Forward);
    forwardAction->setEnabled(false);
    QAction* contentsAction = toolBar->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                        tr("&Contents"), this, &HelpWindow::ShowContents);
    contentsAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));

    auto* closeAction = new QAction(tr("Close"), this);
    closeAction->setShortcuts({QKeySequence::Close, QKeySequence(Qt::Key_Escape)});
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    connect(browser, &QTextBrowser::backwardAvailable, backAction, &QAction::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forwardAction, &QAction::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, &HelpWindow::UpdateTitle);

    // Wide enough for comfortable lines, never larger than the screen.
    QSize size(760, 640);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 9 / 10;
        size = size.boundedTo(room).expandedTo(QSize(320, 240));
    }
    resize(size);
}

void HelpWindow::ShowTopic(const QString& documentPath, const QString& topic) {
    QUrl url = QUrl::fromLocalFile(documentPath);
    if (!topic.isEmpty()) url.setFragment(topic);
    browser->setSource(url);
    if (topic.isEmpty()) browser->verticalScrollBar()->setValue(0);

    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::Source() const {
    return browser->source();
}

void HelpWindow::ShowContents() {
    QUrl start = browser->source();
    if (start.isEmpty()) return;
    start.setFragment(QString());
    browser->setSource(start);
    browser->verticalScrollBar()->setValue(0);
}

void HelpWindow::UpdateTitle() {
    const QString title = browser->documentTitle();
    setWindowTitle(title.isEmpty() ? tr("Help") : title);
}
