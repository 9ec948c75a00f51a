#pragma once

// The About dialog: the product's name, the maker's name, postal address,
// web page and support mailbox, a short about text with the version and the
// build date, and the maker's logo. The web page and the mailbox are links.
//
// The dialog lays itself out around its texts: the labels stand in one
// column, each sized to its caption, and the dialog grows to hold them.
//
// Use, from the About command:
//     TAboutDialog dialog(ComposeAboutText(), "Quorvex", this);
//     dialog.exec();

#include <QDialog>
#include <QRect>
#include <QString>
#include <QUrl>

#include <functional>

#include "ui_CommonAboutDialog.h"

// "Version: 1.1", CR LF, "Build date: " and BuildDateText(), CR LF, CR LF.
QString ComposeAboutText();

// When this program was built, as "2025-03-05 14:07:31" (the build
// machine's local time; SOURCE_DATE_EPOCH fixes it for reproducible builds).
QString BuildDateText();

// What the dialog asks of the desktop. Tests replace them to record the
// links instead of opening them and to place the dialog on a work area of
// their own. Each setter returns the one it replaces; an empty function
// brings back the desktop's own.
using AboutUrlOpener = std::function<void(const QUrl&)>;
using AboutWorkAreaSource = std::function<QRect()>;
AboutUrlOpener SetAboutUrlOpener(AboutUrlOpener opener);
AboutWorkAreaSource SetAboutWorkAreaSource(AboutWorkAreaSource source);

// The components (LogoImage, OkButton, AboutLabel, CompanyNameLabel,
// MailAddressLabel, CompanyHomePageLabel, CompanyAddressLabel, ProductLabel,
// BevelArea) come from the form description CommonAboutDialog.ui.
class TAboutDialog : public QDialog, public Ui::TAboutDialog {
    Q_OBJECT
public:
    // Builds, fills and places the dialog; does not show it.
    TAboutDialog(QString aboutText, QString productName, QWidget* owner);

public slots:
    void OkButtonClick();
    void CompanyHomePageLabelClick();
    void MailAddressLabelClick();

private:
    void LayOut(const QString& aboutText, const QString& productName);
    int OuterWidth() const;
    int OuterHeight() const;
};
