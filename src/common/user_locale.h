#pragma once
// The user's separators for the status texts, read through Qt from the
// system's locale settings, and handed to the core's formatting.
#include <QString>
#include <string>
#include <string_view>

#include "common/timestamp.h"

class QLocale;

namespace vhb {

// The separators a locale writes between the fields of its short date and
// time formats, or the C locale's "/" and ":" where it shows none.
DateTimeSeparators dateTimeSeparatorsOf(const QLocale& locale);
std::string decimalSeparatorOf(const QLocale& locale);

// The same from the system's locale settings; where the system lets them
// change while the program runs, a change shows in the next status text.
DateTimeSeparators userDateTimeSeparators();
std::string userDecimalSeparator();

// The time stamp of the status lines, now, with the user's separators,
// after the given words.
QString timestampText(std::string_view prefix = {});

}  // namespace vhb
