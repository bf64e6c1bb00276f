// kelvane-report: the site tree and the reports of polling logs, for scheduled jobs.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QSettings>

#include <cstdio>

#include "AppSettings.h"
#include "QtLocale.h"
#include "ReportCommand.h"

using namespace kelvane;

namespace {

[[noreturn]] void UsageError(const QString& reason) {
    std::fprintf(stderr, "kelvane-report: %s\nTry 'kelvane-report --help'.\n", qPrintable(reason));
    std::exit(2);
}

bool ParseIsoDate(const QString& text, TDateTime& value) {
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) return false;
    value = EncodeDate(date.year(), date.month(), date.day());
    return true;
}

TDateTime DateOption(const QCommandLineParser& parser, const QString& name) {
    TDateTime value = 0;
    if (!ParseIsoDate(parser.value(name), value)) {
        UsageError(QStringLiteral("--%1 needs a date written YYYY-MM-DD, not '%2'").arg(name, parser.value(name)));
    }
    return value;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-report"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the site tree, the site report or the connection report of polling logs.\n"
        "The first LOG is opened, every further LOG is added to it; '-' reads standard input."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("tree, site or conn"));
    parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("log files"), QStringLiteral("LOG [LOG...]"));
    const QList<QCommandLineOption> options{
        {QStringLiteral("start"), QStringLiteral("Start date (default: as saved by the window)."), QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("end"), QStringLiteral("End date, inclusive (default: as saved by the window)."), QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("days"), QStringLiteral("Days before each site's last connection, 0 for the whole period."), QStringLiteral("N")},
        {QStringLiteral("locale"), QStringLiteral("Locale for log dates and report dates and decimals (e.g. en_GB)."), QStringLiteral("NAME")},
        {QStringLiteral("today"), QStringLiteral("The current date (default: the system date)."), QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("on-error"), QStringLiteral("Answer to each faulty line: continue or stop."), QStringLiteral("continue|stop"), QStringLiteral("continue")},
        {QStringLiteral("tab"), QStringLiteral("Separate report fields by tabs instead of commas.")},
        {QStringLiteral("no-filter-dates"), QStringLiteral("Leave out the report's filter dates.")},
        {QStringLiteral("no-headings"), QStringLiteral("Leave out the column headings.")},
        {QStringLiteral("no-sites"), QStringLiteral("Leave out the site lines.")},
        {QStringLiteral("conn-stats"), QStringLiteral("Add the connection count and minutes online.")},
        {QStringLiteral("inactive-sites"), QStringLiteral("Include sites whose last attempt is before the start.")},
        {QStringLiteral("unit-lines"), QStringLiteral("(site) One line per unit with its codes.")},
        {QStringLiteral("site-alarms"), QStringLiteral("(site) The codes of each site's units on its line.")},
        {QStringLiteral("key"), QStringLiteral("(site) The alarm and trip key at the end.")},
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("Write the report to FILE."), QStringLiteral("FILE")},
    };
    parser.addOptions(options);

    if (!parser.parse(QCoreApplication::arguments())) UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("kelvane-report %s\n", KELVANE_VERSION);
        return 0;
    }

    QStringList args = parser.positionalArguments();
    if (args.isEmpty()) UsageError(QStringLiteral("missing command (tree, site or conn)"));
    ReportRequest request;
    const QString command = args.takeFirst();
    if (command == QStringLiteral("tree")) {
        request.kind = ReportRequest::Kind::Tree;
    } else if (command == QStringLiteral("site")) {
        request.kind = ReportRequest::Kind::Site;
    } else if (command == QStringLiteral("conn")) {
        request.kind = ReportRequest::Kind::Conn;
    } else {
        UsageError(QStringLiteral("unknown command '%1' (tree, site or conn)").arg(command));
    }
    if (args.isEmpty()) UsageError(QStringLiteral("no LOG given"));
    request.logs = args;

    if (request.kind != ReportRequest::Kind::Site) {
        for (const char* name : {"unit-lines", "site-alarms", "key"}) {
            if (parser.isSet(QString::fromLatin1(name))) UsageError(QStringLiteral("--%1 belongs to the site report").arg(QString::fromLatin1(name)));
        }
    }

    const QString onError = parser.value(QStringLiteral("on-error"));
    if (onError != QStringLiteral("continue") && onError != QStringLiteral("stop")) {
        UsageError(QStringLiteral("--on-error takes continue or stop, not '%1'").arg(onError));
    }
    request.stopOnError = onError == QStringLiteral("stop");

    request.locale = LocaleFromQLocale(parser.isSet(QStringLiteral("locale")) ? QLocale(parser.value(QStringLiteral("locale")))
                                                                              : QLocale::system());
    request.today = parser.isSet(QStringLiteral("today")) ? DateOption(parser, QStringLiteral("today")) : Today();

    // Unset filter values come from the settings the window saved, relative to today.
    QSettings store(QString::fromLatin1(settings::kOrganization), QString::fromLatin1(settings::kApplication));
    const FilterValues saved = ReadFilterSettings(store, request.today);
    request.start = parser.isSet(QStringLiteral("start")) ? DateOption(parser, QStringLiteral("start")) : saved.start;
    request.end = parser.isSet(QStringLiteral("end")) ? DateOption(parser, QStringLiteral("end")) : saved.end;
    request.days = saved.days;
    if (parser.isSet(QStringLiteral("days"))) {
        bool ok = false;
        const int days = parser.value(QStringLiteral("days")).toInt(&ok, 10);
        if (!ok || days < 0) UsageError(QStringLiteral("--days needs a whole number from 0, not '%1'").arg(parser.value(QStringLiteral("days"))));
        request.days = days;
    }
    request.output = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("output")) && request.output.isEmpty()) {
        UsageError(QStringLiteral("-o needs a file name"));
    }

    SiteReportOptions& report = request.reportOptions;
    report.separator = parser.isSet(QStringLiteral("tab")) ? FieldSeparator::Tab : FieldSeparator::Comma;
    report.filterDates = !parser.isSet(QStringLiteral("no-filter-dates"));
    report.columnHeadings = !parser.isSet(QStringLiteral("no-headings"));
    report.sites = !parser.isSet(QStringLiteral("no-sites"));
    report.connStats = parser.isSet(QStringLiteral("conn-stats"));
    report.inactiveSites = parser.isSet(QStringLiteral("inactive-sites"));
    report.unitLines = parser.isSet(QStringLiteral("unit-lines"));
    report.siteAlarms = parser.isSet(QStringLiteral("site-alarms"));
    report.key = parser.isSet(QStringLiteral("key"));

    return RunReport(request, stdout, stderr);
}
