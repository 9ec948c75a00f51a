// The help engine: a topic opens in the help window, and a missing document
// or topic gives the engine's own message. Also the document we ship.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "help/HelpEngine.h"
#include "help/HelpWindow.h"
#include "tests/support/TestFiles.h"

namespace {

// A document long enough that a topic near its end has to be scrolled to.
std::string FixtureDocument() {
    std::string html =
        "<html><head><title>Fixture Help</title></head><body>"
        "<h1 id=\"Introduction\">Introduction</h1>";
    for (int i = 0; i < 200; ++i) html += "<p>Paragraph " + std::to_string(i) + "</p>";
    html += "<h2 id=\"Later\">Later</h2><p>The end.</p></body></html>";
    return html;
}

// Presses OK on every message box that comes up, keeping title and text.
class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + QStringLiteral(": ") + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(10);
    }
    QStringList seen;

private:
    QTimer poll;
};

struct Links {
    QStringList anchors;
    QStringList internalTargets;
};

Links LinksOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    Links links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            links.anchors << format.anchorNames();
            if (format.isAnchor() && format.anchorHref().startsWith(QLatin1Char('#')))
                links.internalTargets << format.anchorHref().mid(1);
        }
    }
    return links;
}

}  // namespace

class HelpEngineTest : public QObject {
    Q_OBJECT

private:
    testfiles::PrivateHome home;
    testfiles::TempFolder folder;

    QString Fixture() const { return QString::fromStdString(folder / "Fixture.html"); }

private slots:
    void initTestCase() { testfiles::WriteFile(folder / "Fixture.html", FixtureDocument()); }

    void opensTheTopicInItsOwnWindowAndReusesIt() {
        QVERIFY(ShowHelpTopic(Fixture(), QStringLiteral("Later")));
        HelpWindow* window = CurrentHelpWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("Fixture Help"));
        QCOMPARE(window->Source().fragment(), QStringLiteral("Later"));
        QScrollBar* scroll = window->Browser()->verticalScrollBar();
        QTRY_VERIFY(scroll->value() > scroll->maximum() / 2);

        // The path as the Help command joins it after a trailing separator.
        const QString doubled = QString::fromStdString(folder.Path() + "//Fixture.html");
        QVERIFY(ShowHelpTopic(doubled, QStringLiteral("Introduction")));
        QCOMPARE(CurrentHelpWindow(), window);
        QCOMPARE(window->Source().fragment(), QStringLiteral("Introduction"));
        QTRY_VERIFY(scroll->value() < scroll->maximum() / 10);

        QVERIFY(window->Browser()->isBackwardAvailable());
        window->Browser()->backward();
        QCOMPARE(window->Source().fragment(), QStringLiteral("Later"));

        // Closing the help window leaves the program's life to its own window.
        QVERIFY(!window->testAttribute(Qt::WA_QuitOnClose));
        window->close();
        QVERIFY(ShowHelpTopic(Fixture(), QStringLiteral("Introduction")));
        QVERIFY(window->isVisible());
    }

    void missingDocumentOrTopicIsReportedAndShowsNothing_data() {
        QTest::addColumn<QString>("helpFile");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("message");
        const QString missing = QString::fromStdString(folder / "help/Quorvex.html");
        QTest::newRow("no document")
            << missing << "Introduction"
            << "Help: Cannot find the help file \"" + missing + "\".";
        QTest::newRow("a folder in its place")
            << QString::fromStdString(folder.Path()) << "Introduction"
            << "Help: Cannot find the help file \"" + QString::fromStdString(folder.Path()) + "\".";
        QTest::newRow("no help file named") << QString() << "Introduction"
                                            << "Help: No help file has been named.";
        QTest::newRow("no such topic")
            << Fixture() << "Contents"
            << "Help: The topic \"Contents\" does not exist in the help file \"" + Fixture() + "\".";
        QTest::newRow("topics differ in case")
            << Fixture() << "introduction"
            << "Help: The topic \"introduction\" does not exist in the help file \"" + Fixture() + "\".";
    }

    void missingDocumentOrTopicIsReportedAndShowsNothing() {
        QFETCH(QString, helpFile);
        QFETCH(QString, topic);
        QFETCH(QString, message);
        if (HelpWindow* window = CurrentHelpWindow()) window->close();
        const QUrl before = CurrentHelpWindow() ? CurrentHelpWindow()->Source() : QUrl();

        MessageBoxRecorder boxes;
        QVERIFY(!ShowHelpTopic(helpFile, topic));
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith(message), qPrintable(boxes.seen[0]));

        if (HelpWindow* window = CurrentHelpWindow()) {
            QVERIFY(!window->isVisible());
            QCOMPARE(window->Source(), before);
        }
    }

    void shippedDocumentOpensAtItsIntroductionWithEveryLinkInPlace() {
        const QString document = QStringLiteral(QUORVEX_HELP_DOCUMENT);
        const Links links = LinksOf(document);
        QVERIFY(links.anchors.contains(QStringLiteral("Introduction")));
        QVERIFY(links.internalTargets.size() >= 10);
        for (const QString& target : links.internalTargets)
            QVERIFY2(links.anchors.contains(target), qPrintable("no anchor for #" + target));

        MessageBoxRecorder boxes;
        QVERIFY(ShowHelpTopic(document, QStringLiteral("Introduction")));
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(CurrentHelpWindow()->windowTitle(), QStringLiteral("Quorvex Help"));
    }
};

QTEST_MAIN(HelpEngineTest)
#include "HelpEngineTest.moc"
