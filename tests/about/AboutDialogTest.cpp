// The About dialog: its form, its texts, the layout walk around them, the
// links and its life as the About command builds and ends it.

#include <QApplication>
#include <QImageReader>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <vector>

#include "about/CommonAboutDialog.h"
#include "tests/support/TestFiles.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString ShortAbout = QStringLiteral("Version: 1.1") + CrLf +
                           QStringLiteral("Build date: 2025-03-05 14:07:31") + CrLf + CrLf;

QString Lines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << QStringLiteral("Line %1 of a longer about text").arg(i);
    return lines.join(CrLf);
}

// Right edge of a label in client coordinates.
int RightEdge(const QWidget* widget) {
    return widget->x() + widget->width();
}

// An about text whose label is exactly `width` pixels wide in the dialog's
// font, found by trying mixes of wide and narrow letters on a real label.
QString AboutTextOfWidth(int width) {
    TAboutDialog probe(QString(), QStringLiteral("Quorvex"), nullptr);
    QLabel* label = probe.AboutLabel;
    auto widthOf = [label](const QString& text) {
        label->setText(text);
        label->adjustSize();
        return label->width();
    };
    for (int wide = 0; wide < 80; ++wide) {
        const QString base(wide, QLatin1Char('W'));
        if (wide > 0 && widthOf(base) > width) break;
        for (int narrow = 0; narrow < 40; ++narrow) {
            for (int dots = 0; dots < 8; ++dots) {
                const QString text =
                    base + QString(narrow, QLatin1Char('l')) + QString(dots, QLatin1Char('.'));
                if (text.isEmpty()) continue;
                const int found = widthOf(text);
                if (found == width) return text;
                if (found > width) break;
            }
        }
    }
    return QString();
}

// Answers the next modal dialog with `answer` once it is up.
void AnswerModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
        }
    });
    poll->start(10);
}

}  // namespace

class AboutDialogTest : public QObject {
    Q_OBJECT

private:
    testfiles::PrivateHome home;
    QStringList opened;
    QRect workArea{0, 0, 1280, 1024};

private slots:
    void init() {
        opened.clear();
        workArea = QRect(0, 0, 1280, 1024);
        SetAboutUrlOpener([this](const QUrl& url) { opened << url.toString(); });
        SetAboutWorkAreaSource([this] { return workArea; });
    }

    void cleanup() {
        SetAboutUrlOpener({});
        SetAboutWorkAreaSource({});
    }

    void aboutTextHoldsVersionAndRealBuildDate() {
        static const QRegularExpression shape(QStringLiteral(
            "^Version: 1\\.1\\r\\nBuild date: (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\\r\\n\\r\\n$"));
        const QRegularExpressionMatch match = shape.match(ComposeAboutText());
        QVERIFY2(match.hasMatch(), qPrintable(ComposeAboutText()));
        const QDateTime built =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(built.isValid());
        QVERIFY(built.date().year() >= 2024);
        QVERIFY(built <= QDateTime::currentDateTime().addSecs(60));
    }

    void formHasItsComponentsFontsAndColours() {
        QWidget owner;
        TAboutDialog dialog(ShortAbout, QStringLiteral("Quorvex"), &owner);

        QCOMPARE(dialog.windowTitle(), QStringLiteral("AboutDialog"));
        QCOMPARE(dialog.parentWidget(), &owner);
        QVERIFY(dialog.isWindow());
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowContextHelpButtonHint)));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!dialog.windowIcon().pixmap(16, 16).isNull());

        // The logo: our 157 x 157 JPEG, unscaled at the top left of its area.
        QImageReader logo(QStringLiteral(":/about/OrvandelLogo.jpg"));
        QCOMPARE(logo.format(), QByteArray("jpeg"));
        QCOMPARE(dialog.LogoImage->geometry(), QRect(24, 32, 161, 161));
        QCOMPARE(dialog.LogoImage->pixmap().size(), QSize(157, 157));
        QVERIFY(!dialog.LogoImage->hasScaledContents());
        QVERIFY(dialog.LogoImage->pixmap().toImage().allGray() == false);

        QCOMPARE(dialog.OkButton->text(), QStringLiteral("OK"));
        QVERIFY(dialog.OkButton->isDefault());
        QVERIFY(!dialog.OkButton->icon().isNull());
        QCOMPARE(dialog.OkButton->size(), QSize(80, 25));
        QCOMPARE(dialog.BevelArea->frameShape(), QFrame::Box);

        const QColor text = dialog.palette().color(QPalette::WindowText);
        const struct {
            QLabel* label;
            QString family;
            int pixels;
            bool bold;
            QColor colour;
        } labels[] = {
            {dialog.ProductLabel, "Copperplate Gothic Bold", 24, true, text},
            {dialog.CompanyNameLabel, "Copperplate Gothic Bold", 19, true, text},
            {dialog.CompanyAddressLabel, "Times New Roman", 15, true, text},
            {dialog.CompanyHomePageLabel, "MS Sans Serif", 11, false, Qt::blue},
            {dialog.MailAddressLabel, "MS Sans Serif", 11, false, Qt::blue},
            {dialog.AboutLabel, "Times New Roman", 13, false, text},
        };
        for (const auto& row : labels) {
            const QString name = row.label->objectName();
            QCOMPARE(row.label->x(), 208);
            QCOMPARE(row.label->font().families().value(0), row.family);
            QCOMPARE(row.label->font().pixelSize(), row.pixels);
            QVERIFY2(row.label->font().bold() == row.bold, qPrintable(name));
            QCOMPARE(row.label->palette().color(QPalette::WindowText), row.colour);
            QVERIFY2(!row.label->wordWrap(), qPrintable(name));
            QCOMPARE(row.label->textFormat(), Qt::PlainText);
        }
        QCOMPARE(dialog.CompanyHomePageLabel->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(dialog.MailAddressLabel->cursor().shape(), Qt::PointingHandCursor);
    }

    void labelsShowProductMakerAndAboutText() {
        TAboutDialog dialog(ShortAbout, QStringLiteral("Quorvex"), nullptr);
        QCOMPARE(dialog.ProductLabel->text(), QStringLiteral("\"Quorvex\""));
        QCOMPARE(dialog.CompanyNameLabel->text(), QStringLiteral("by Orvandel Software"));
        QCOMPARE(dialog.CompanyAddressLabel->text().split(CrLf).size(), 3);
        QCOMPARE(dialog.CompanyHomePageLabel->text(), QStringLiteral("https://www.orvandel.example/"));
        QCOMPARE(dialog.MailAddressLabel->text(), QStringLiteral("support@orvandel.example"));
        QCOMPARE(dialog.AboutLabel->text(), ShortAbout);
    }

    void layoutWalksTheColumnAndFitsTheDialog_data() {
        QTest::addColumn<QString>("about");
        QTest::addColumn<QString>("product");
        QTest::newRow("the About command's text") << ComposeAboutText() << "Quorvex";
        QTest::newRow("empty text") << QString() << "Quorvex";
        QTest::newRow("ten lines") << Lines(10) << "Quorvex";
        QTest::newRow("wide about text") << QString(120, QLatin1Char('W')) << "Quorvex";
        QTest::newRow("wide product name")
            << ShortAbout << "Quorvex Professional Edition for Workgroups";
    }

    void layoutWalksTheColumnAndFitsTheDialog() {
        QFETCH(QString, about);
        QFETCH(QString, product);
        TAboutDialog dialog(about, product, nullptr);

        // Each label sized to its caption, one under the other with its gap.
        const std::vector<std::pair<QLabel*, int>> column = {
            {dialog.ProductLabel, 6},         {dialog.CompanyNameLabel, 3},
            {dialog.CompanyAddressLabel, 6},  {dialog.CompanyHomePageLabel, 3},
            {dialog.MailAddressLabel, 15},    {dialog.AboutLabel, 30},
        };
        int y = 24;
        int widest = 0;
        for (const auto& [label, gap] : column) {
            QCOMPARE(label->y(), y);
            QCOMPARE(label->size(), label->sizeHint());
            widest = std::max(widest, RightEdge(label));
            y += label->height() + gap;
        }
        QCOMPARE(dialog.OkButton->y(), y);
        QCOMPARE(dialog.height(), dialog.OkButton->y() + dialog.OkButton->height() + 30);

        const int expectedWidth = widest > 492 + 15 ? widest + 30 : 492;
        QCOMPARE(dialog.width(), expectedWidth);
        QCOMPARE(dialog.OkButton->x(), dialog.frameGeometry().width() / 2 - 40);
        QCOMPARE(dialog.BevelArea->geometry(),
                 QRect(7, 7, dialog.width() - 14, dialog.height() - 14));
    }

    void longerAboutTextMakesTheDialogTallerByTheSameAmount() {
        TAboutDialog two(Lines(2), QStringLiteral("Quorvex"), nullptr);
        TAboutDialog seven(Lines(7), QStringLiteral("Quorvex"), nullptr);
        const int growth = seven.AboutLabel->height() - two.AboutLabel->height();
        QVERIFY(growth > 0);
        QCOMPARE(seven.height() - two.height(), growth);
    }

    // The dialog widens only when a label passes the client width by more
    // than 15 pixels, and then to exactly 30 beyond the label.
    void widensOnlyBeyondFifteenPixels_data() {
        QTest::addColumn<int>("rightEdge");
        QTest::addColumn<int>("expectedWidth");
        QTest::newRow("inside the client area") << 480 << 492;
        QTest::newRow("past the client area, within 15") << 500 << 492;
        QTest::newRow("exactly 15 past") << 492 + 15 << 492;
        QTest::newRow("16 past") << 492 + 16 << 492 + 16 + 30;
        QTest::newRow("far past") << 700 << 730;
    }

    void widensOnlyBeyondFifteenPixels() {
        QFETCH(int, rightEdge);
        QFETCH(int, expectedWidth);
        const QString about = AboutTextOfWidth(rightEdge - 208);
        if (about.isEmpty()) QSKIP("no text of that width in this font");

        TAboutDialog dialog(about, QStringLiteral("Q"), nullptr);
        QCOMPARE(dialog.frameGeometry().width(), dialog.width());  // no frame offscreen
        QCOMPARE(RightEdge(dialog.AboutLabel), rightEdge);
        QCOMPARE(dialog.width(), expectedWidth);
        QCOMPARE(dialog.OkButton->x(), expectedWidth / 2 - 40);
        QCOMPARE(dialog.BevelArea->width(), expectedWidth - 14);
    }

    void placedOnTheWorkAreaSizeIgnoringItsOffset_data() {
        QTest::addColumn<QRect>("area");
        QTest::newRow("whole screen") << QRect(0, 0, 1280, 1024);
        QTest::newRow("panel at the top and left") << QRect(64, 32, 1216, 992);
        QTest::newRow("odd sizes") << QRect(0, 0, 1001, 777);
        QTest::newRow("smaller than the dialog") << QRect(10, 10, 401, 199);
    }

    void placedOnTheWorkAreaSizeIgnoringItsOffset() {
        QFETCH(QRect, area);
        workArea = area;
        TAboutDialog dialog(ShortAbout, QStringLiteral("Quorvex"), nullptr);
        const QSize outer = dialog.frameGeometry().size();
        // Halves truncate toward zero, also below zero.
        QCOMPARE(dialog.pos(), QPoint((area.width() - outer.width()) / 2,
                                      (area.height() - outer.height()) / 2));
    }

    void linksOpenTheWebPageAndANewMail() {
        TAboutDialog dialog(ShortAbout, QStringLiteral("Quorvex"), nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QTest::mouseClick(dialog.CompanyHomePageLabel, Qt::LeftButton);
        QTest::mouseClick(dialog.MailAddressLabel, Qt::LeftButton);
        QCOMPARE(opened, QStringList({QStringLiteral("https://www.orvandel.example/"),
                                      QStringLiteral("mailto:support@orvandel.example")}));
        QVERIFY(dialog.isVisible());

        // A click elsewhere in the dialog opens nothing.
        QTest::mouseClick(dialog.CompanyNameLabel, Qt::LeftButton);
        QTest::mouseClick(dialog.LogoImage, Qt::LeftButton);
        QCOMPARE(opened.size(), 2);
    }

    // As the About command does it: build, show modally, destroy; twice.
    void twoAboutCommandsInARowEachBuildAndEndTheirOwnDialog() {
        QWidget owner;
        owner.show();
        QList<QPointer<QDialog>> seen;
        const std::function<void(QWidget*)> answers[] = {
            [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); },
            [](QWidget* modal) {
                QTest::mouseClick(static_cast<TAboutDialog*>(modal)->OkButton, Qt::LeftButton);
            },
        };
        for (const auto& answer : answers) {
            int result = -1;
            {
                TAboutDialog dialog(ComposeAboutText(), QStringLiteral("Quorvex"), &owner);
                seen << QPointer<QDialog>(&dialog);
                AnswerModal([&](QWidget* modal) {
                    QCOMPARE(modal, &dialog);
                    QCOMPARE(owner.findChildren<TAboutDialog*>().size(), 1);
                    answer(modal);
                });
                result = dialog.exec();
            }
            QCOMPARE(result, int(QDialog::Accepted));
            QVERIFY(owner.findChildren<TAboutDialog*>().isEmpty());
        }
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[0].isNull() && seen[1].isNull());
    }

    void closeBoxEndsTheDialog() {
        TAboutDialog dialog(ShortAbout, QStringLiteral("Quorvex"), nullptr);
        AnswerModal([](QWidget* modal) { modal->close(); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(AboutDialogTest)
#include "AboutDialogTest.moc"
