#include "help/HelpEngine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>

#include "help/HelpWindow.h"

namespace {

QPointer<HelpWindow>& Window() {
    static QPointer<HelpWindow> window;
    return window;
}

HelpWindow* OpenWindow() {
    if (!Window()) {
        Window() = new HelpWindow;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { delete Window(); });
    }
    return Window();
}

void ShowHelpError(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QApplication::translate("HelpEngine", "Help"), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("HelpErrorBox"));
    box.exec();
}

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool HasTopic(const QTextDocument& document, const QString& topic) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            if (fragment.fragment().charFormat().anchorNames().contains(topic)) return true;
        }
    }
    return false;
}

// Reads the document as the help window will show it; on failure says why.
bool ReadDocument(const QString& helpFile, QTextDocument& document, QString& problem) {
    const QString shown = Quoted(QDir::toNativeSeparators(helpFile));
    if (helpFile.isEmpty()) {
        problem = QApplication::translate("HelpEngine", "No help file has been named.");
        return false;
    }
    if (!QFileInfo(helpFile).isFile()) {
        problem = QApplication::translate("HelpEngine",
                                          "Cannot find the help file %1.\n\n"
                                          "The help may not be installed, or not completely. After "
                                          "installing Quorvex, run quorvex-setup once to tell it where "
                                          "the help is.")
                      .arg(shown);
        return false;
    }
    QFile file(helpFile);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QApplication::translate("HelpEngine", "Cannot open the help file %1: %2.")
                      .arg(shown, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        problem = QApplication::translate("HelpEngine", "Cannot read the help file %1: %2.")
                      .arg(shown, file.errorString());
        return false;
    }
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    document.setHtml(decoder.decode(bytes));
    return true;
}

}  // namespace

bool ShowHelpTopic(const QString& helpFile, const QString& topic) {
    QTextDocument document;
    QString problem;
    if (!ReadDocument(helpFile, document, problem)) {
        ShowHelpError(problem);
        return false;
    }
    if (!topic.isEmpty() && !HasTopic(document, topic)) {
        ShowHelpError(QApplication::translate("HelpEngine",
                                              "The topic %1 does not exist in the help file %2.")
                          .arg(Quoted(topic), Quoted(QDir::toNativeSeparators(helpFile))));
        return false;
    }
    OpenWindow()->ShowTopic(QFileInfo(helpFile).absoluteFilePath(), topic);
    return true;
}

HelpWindow* CurrentHelpWindow() {
    return Window();
}
