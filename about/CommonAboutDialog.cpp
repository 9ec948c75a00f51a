#include "about/CommonAboutDialog.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <utility>

#include "Version.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The maker. The address is three lines: street, postal code and town, country.
const QString CompanyName = QStringLiteral(QUORVEX_COMPANY_NAME);
const QString CompanyAddress =
    QStringLiteral("12 Lantern Quay") + CrLf + QStringLiteral("Eastmere EM3 9QX") + CrLf +
    QStringLiteral("United Kingdom");
const QString CompanyHomePage = QStringLiteral("https://www.orvandel.example/");
const QString SupportMailbox = QStringLiteral("support@orvandel.example");

AboutUrlOpener& UrlOpener() {
    static AboutUrlOpener opener;
    return opener;
}

AboutWorkAreaSource& WorkAreaSource() {
    static AboutWorkAreaSource source;
    return source;
}

void OpenUrl(const QUrl& url) {
    // Whatever the desktop says when it cannot open the link is its own;
    // the dialog stays open either way.
    if (UrlOpener())
        UrlOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

QRect WorkArea() {
    if (WorkAreaSource()) return WorkAreaSource()();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// A label is as large as its caption, one line per line break, never wrapped.
void SetCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    label->adjustSize();
}

}  // namespace

// The logo and the icon are compiled into this library; a static library's
// resources register only when something asks for them.
static void LoadAboutResources() {
    Q_INIT_RESOURCE(about);
}

QString ComposeAboutText() {
    return QStringLiteral("Version: ") + QStringLiteral(QUORVEX_VERSION_TEXT) + CrLf +
           QStringLiteral("Build date: ") + BuildDateText() + CrLf + CrLf;
}

AboutUrlOpener SetAboutUrlOpener(AboutUrlOpener opener) {
    return std::exchange(UrlOpener(), std::move(opener));
}

AboutWorkAreaSource SetAboutWorkAreaSource(AboutWorkAreaSource source) {
    return std::exchange(WorkAreaSource(), std::move(source));
}

TAboutDialog::TAboutDialog(QString aboutText, QString productName, QWidget* owner)
    : QDialog(owner) {
    LoadAboutResources();
    setupUi(this);
    // A fixed dialog with the system menu and the close box only, kept
    // above other windows while it is open.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    OkButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton, nullptr, OkButton));
    OkButton->setFocus();
    LayOut(aboutText, productName);
}

// Walks down the label column, then sizes and places the dialog around it.
// Only the labels' real sizes count, so a substituted font still gives a
// tidy column with the same gaps.
void TAboutDialog::LayOut(const QString& aboutText, const QString& productName) {
    int y = ProductLabel->y();
    int rightEdge = OuterWidth();

    const struct {
        QLabel* label;
        QString caption;
        int gapBelow;
    } column[] = {
        {ProductLabel, QLatin1Char('"') + productName + QLatin1Char('"'), 6},
        {CompanyNameLabel, QStringLiteral("by ") + CompanyName, 3},
        {CompanyAddressLabel, CompanyAddress, 6},
        {CompanyHomePageLabel, CompanyHomePage, 3},
        {MailAddressLabel, SupportMailbox, 15},
        {AboutLabel, aboutText, 30},
    };
    for (const auto& row : column) {
        if (row.label != ProductLabel) row.label->move(row.label->x(), y);
        SetCaption(row.label, row.caption);
        rightEdge = std::max(rightEdge, row.label->x() + row.label->width());
        y += row.label->height() + row.gapBelow;
    }

    OkButton->move(OkButton->x(), y);
    y += OkButton->height() + 15;

    // Widen only for a label that passes the client area by more than 15
    // pixels, and then leave a margin of 30 beyond the widest one.
    int clientWidth = width();
    if (clientWidth + 15 < rightEdge) clientWidth = rightEdge + 30;
    setFixedSize(clientWidth, y + 15);

    OkButton->move(OuterWidth() / 2 - OkButton->width() / 2, OkButton->y());

    // Centred on a rectangle of the work area's size at the screen's origin.
    const QRect workArea = WorkArea();
    move((workArea.width() - OuterWidth()) / 2, (workArea.height() - OuterHeight()) / 2);

    BevelArea->setGeometry(7, 7, width() - 14, height() - 14);
}

int TAboutDialog::OuterWidth() const {
    return frameGeometry().width();
}

int TAboutDialog::OuterHeight() const {
    return frameGeometry().height();
}

void TAboutDialog::OkButtonClick() {
    close();
}

void TAboutDialog::CompanyHomePageLabelClick() {
    OpenUrl(QUrl(CompanyHomePage));
}

void TAboutDialog::MailAddressLabelClick() {
    OpenUrl(QUrl(QStringLiteral("mailto:") + SupportMailbox));
}
