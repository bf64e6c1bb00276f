#include "QtLocale.h"

namespace kelvane {

Locale LocaleFromQLocale(const QLocale& qlocale) {
    Locale locale = Locale::Default();
    if (!locale.SetShortDatePattern(qlocale.dateFormat(QLocale::ShortFormat).toStdString())) return Locale::Default();
    const QString decimal = qlocale.decimalPoint();
    if (!decimal.isEmpty()) locale.decimalSeparator = decimal.toStdString();
    // The time separator is the first character after the hours in the short time format.
    const QString time = qlocale.timeFormat(QLocale::ShortFormat);
    for (qsizetype i = 0; i + 1 < time.size(); ++i) {
        const QChar c = time.at(i);
        if ((c == u'h' || c == u'H') && time.at(i + 1) != c) {
            const QChar sep = time.at(i + 1);
            if (sep.unicode() < 128 && !sep.isLetterOrNumber() && !sep.isSpace()) {
                locale.timeSeparator = static_cast<char>(sep.unicode());
            }
            break;
        }
    }
    return locale;
}

}  // namespace kelvane
