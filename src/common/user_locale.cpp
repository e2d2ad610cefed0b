#include "common/user_locale.h"

#include <QLocale>

#include "common/local_text.h"
#include "platform/system.h"

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

// Where the formats cannot change, they are read once: the status line is
// stamped at every heartbeat.
DateTimeSeparators userDateTimeSeparators() {
    if (!platform::userFormatsFixed())
        return dateTimeSeparatorsOf(QLocale::system());
    static const DateTimeSeparators fixed = dateTimeSeparatorsOf(QLocale::system());
    return fixed;
}

std::string userDecimalSeparator() {
    if (!platform::userFormatsFixed())
        return decimalSeparatorOf(QLocale::system());
    static const std::string fixed = decimalSeparatorOf(QLocale::system());
    return fixed;
}

QString timestampText(std::string_view prefix) {
    std::string text(prefix);
    text += formatTimestamp(platform::localTimeNow(), userDateTimeSeparators());
    return textFromLocal8(text);
}

}  // namespace vhb
