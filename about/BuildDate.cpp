// Kept apart from the dialog so the stamp is simply when this file was
// compiled; GCC and Clang take it from SOURCE_DATE_EPOCH when that is set.

#include "about/CommonAboutDialog.h"

#include <cstring>

namespace {

// __DATE__ is "Mmm dd yyyy" with the day padded by a blank, __TIME__ "hh:mm:ss".
QString IsoBuildDate(const char* date, const char* time) {
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* found = std::strstr(months, QByteArray(date, 3).constData());
    const int month = found ? int(found - months) / 3 + 1 : 0;
    const int day = QByteArray(date + 4, 2).trimmed().toInt();
    const QByteArray year(date + 7, 4);
    return QStringLiteral("%1-%2-%3 %4")
        .arg(QString::fromLatin1(year))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(QString::fromLatin1(time));
}

}  // namespace

QString BuildDateText() {
    return IsoBuildDate(__DATE__, __TIME__);
}
