#pragma once

// The help engine's window: the document with its links, Back, Forward and
// Contents (the document's start).

#include <QMainWindow>
#include <QString>
#include <QUrl>

class QAction;
class QTextBrowser;

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    HelpWindow();

    // Shows the document at `topic` (an empty topic shows its start) and
    // brings the window to the front.
    void ShowTopic(const QString& documentPath, const QString& topic);

    QTextBrowser* Browser() const { return browser; }
    // The document shown and the topic last jumped to.
    QUrl Source() const;

private slots:
    void ShowContents();
    void UpdateTitle();

private:
    QTextBrowser* browser;
};
