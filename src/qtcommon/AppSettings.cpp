#include "AppSettings.h"

#include <QRegularExpression>
#include <cmath>

#include "platform/CommaText.h"

namespace kelvane {

namespace {

// Strictly a decimal integer: an optional sign and digits, nothing else.
bool ToDecimalInt(const QString& text, int& value) {
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!decimal.match(text).hasMatch()) return false;
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok) return false;
    value = v;
    return true;
}

}  // namespace

int ReadIntSetting(QSettings& store, const char* key, int defaultValue) {
    const QVariant stored = store.value(QString::fromLatin1(key));
    if (!stored.isValid()) return defaultValue;
    int value = defaultValue;
    return ToDecimalInt(stored.toString(), value) ? value : defaultValue;
}

FilterValues ReadFilterSettings(QSettings& store, TDateTime today) {
    FilterValues values;
    values.start = today - ReadIntSetting(store, settings::kFilterStart, 0);
    values.end = today - ReadIntSetting(store, settings::kFilterEnd, 0);
    values.days = ReadIntSetting(store, settings::kFilterDays, 1);
    return values;
}

void WriteFilterSettings(QSettings& store, const FilterValues& values, TDateTime today) {
    const auto daysBefore = [&](TDateTime date) { return QString::number(static_cast<long long>(std::trunc(today - date))); };
    store.setValue(QString::fromLatin1(settings::kFilterStart), daysBefore(values.start));
    store.setValue(QString::fromLatin1(settings::kFilterEnd), daysBefore(values.end));
    store.setValue(QString::fromLatin1(settings::kFilterDays), QString::number(values.days));
}

QStringList ReadRecentFiles(QSettings& store) {
    const QByteArray text = store.value(QString::fromLatin1(settings::kRecentFiles)).toString().toUtf8();
    QStringList paths;
    for (const std::string& item : SplitCommaText(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        paths.append(QString::fromStdString(item));
    }
    return paths;
}

void WriteRecentFiles(QSettings& store, const QStringList& paths) {
    StringList items;
    for (const QString& path : paths) items.push_back(path.toStdString());
    store.setValue(QString::fromLatin1(settings::kRecentFiles), QString::fromStdString(JoinCommaText(items)));
}

}  // namespace kelvane
