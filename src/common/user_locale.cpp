#include "common/user_locale.h"

#include <QLocale>

#include "common/local_text.h"

namespace vhb {

namespace {

// The first character that stands between two fields of a date or time
// format, as a one-character separator. Quoted literal text ("HH 'h' mm"),
// spaces and invisible marks (the direction marks of right-to-left
// formats) separate nothing.
QString separatorOf(const QString& format) {
    bool afterField = false;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c.isLetter()) {
            afterField = true;
            continue;
        }
        if (afterField && !c.isSpace() && c.isPrint())
            return QString(c);
    }
    return {};
}

}  // namespace

DateTimeSeparators dateTimeSeparatorsOf(const QLocale& locale) {
    DateTimeSeparators s;
    if (const QString d = separatorOf(locale.dateFormat(QLocale::ShortFormat)); !d.isEmpty())
        s.date = local8FromText(d);
    if (const QString t = separatorOf(locale.timeFormat(QLocale::ShortFormat)); !t.isEmpty())
        s.time = local8FromText(t);
    return s;
}

std::string decimalSeparatorOf(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    return point.isEmpty() ? std::string(".") : local8FromText(point);
}

DateTimeSeparators userDateTimeSeparators() {
    return dateTimeSeparatorsOf(QLocale::system());
}

std::string userDecimalSeparator() {
    return decimalSeparatorOf(QLocale::system());
}

QString timestampText() {
    return textFromLocal8(timestampNow(userDateTimeSeparators()));
}

}  // namespace vhb
