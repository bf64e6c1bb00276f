#pragma once

#include <QLocale>

#include "platform/Locale.h"

namespace kelvane {

// The core's date and number conventions taken from a Qt locale; day/month/year with "/" and "."
// when the locale's short date has no numeric order.
Locale LocaleFromQLocale(const QLocale& qlocale);

}  // namespace kelvane
