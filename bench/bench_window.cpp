// bench_window: times the main window's Refresh and a change of the focused row to the busiest
// site (its chart drawn again), on the offscreen platform, and prints "name value" lines.
//
//   bench_window LOG [--start YYYY-MM-DD] [--end YYYY-MM-DD] [--runs N]
//
// The window runs under en_GB with a settings file of its own in a temporary folder, whose filter
// covers Start to End with Days 0; Start and End default to the first and the last day with an
// attempt in the log. The log must be free of faulty lines: a parser prompt ends the run.

#include <QApplication>
#include <QDate>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "ConnectionChart.h"
#include "MainForm.h"
#include "SiteTreeModel.h"
#include "log/BrelLogParser.h"
#include "model/AlarmSite.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage = "Usage: bench_window LOG [--start YYYY-MM-DD] [--end YYYY-MM-DD] [--runs N]\n";

const QDate kDayZero(1899, 12, 30);

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "bench_window: %s\n", why.c_str());
    std::exit(1);
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The best of runs timings of step; prepare runs untimed before each.
double BestOf(int runs, const std::function<void()>& prepare, const std::function<void()>& step) {
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        prepare();
        QCoreApplication::processEvents();
        const auto t0 = Clock::now();
        step();
        QCoreApplication::processEvents();  // the repaint the step asked for
        best = std::min(best, Milliseconds(Clock::now() - t0));
    }
    return best;
}

// The first and the last day with an attempt, from a quick load of the log by the core alone.
void LogPeriod(const std::string& log, QDate& start, QDate& end) {
    TBrelLogParser parser(Locale::Default(), [](const std::string&, const std::string&) { return true; });
    const std::unique_ptr<TAlSiteList> sites = parser.ParseFile(log);
    TDateTime first = std::numeric_limits<TDateTime>::max();
    TDateTime last = 0;
    for (int i = 0; i < sites->Count(); ++i) {
        const TAlSite* site = sites->SiteAt(i);
        if (site->ConnCount() == 0) continue;
        first = std::min(first, site->ConnAt(0).Time);
        last = std::max(last, site->LastAttempt);
    }
    if (last == 0) Fail("the log holds no attempt");
    start = kDayZero.addDays(static_cast<qint64>(DateOf(first)));
    end = kDayZero.addDays(static_cast<qint64>(DateOf(last)));
}

// The tree's top-level row showing site, in the view's own (sorted) model.
QModelIndex SiteRow(const QTreeView& tree, const TAlSite* site) {
    const QAbstractItemModel* model = tree.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data(SiteTreeModel::SiteRole).value<void*>() == site) return index;
    }
    return {};
}

// How many alarm events the units of a site hold: each is one marker or more in the chart.
long long AlarmEvents(const TAlSite& site) {
    long long events = 0;
    for (int u = 0; u < site.UnitCount(); ++u) events += site.UnitAt(u)->AlarmCount();
    return events;
}

void Focus(QTreeView& tree, const QModelIndex& index) {
    tree.selectionModel()->setCurrentIndex(index,
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace

int main(int argc, char** argv) {
    // The window takes its date formats from the system locale and needs no display.
    qputenv("LC_ALL", "en_GB.UTF-8");
    qputenv("LANG", "en_GB.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QString log;
    QDate start;
    QDate end;
    int runs = 5;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const auto next = [&]() -> QString {
            if (i + 1 >= args.size()) Fail(arg.toStdString() + " needs a value\n" + kUsage);
            return args.at(++i);
        };
        if (arg == QStringLiteral("--start") || arg == QStringLiteral("--end")) {
            const QDate date = QDate::fromString(next(), Qt::ISODate);
            if (!date.isValid()) Fail(arg.toStdString() + " wants a date YYYY-MM-DD");
            (arg == QStringLiteral("--start") ? start : end) = date;
        } else if (arg == QStringLiteral("--runs")) {
            bool ok = false;
            runs = next().toInt(&ok);
            if (!ok || runs < 1) Fail("--runs wants a whole number from 1");
        } else if (arg == QStringLiteral("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (log.isEmpty() && !arg.startsWith(QLatin1Char('-'))) {
            log = arg;
        } else {
            Fail(std::string("unexpected argument ").append(arg.toStdString()).append("\n").append(kUsage));
        }
    }
    if (log.isEmpty()) Fail(std::string("no LOG given\n") + kUsage);

    try {
        if (!start.isValid() || !end.isValid()) {
            QDate first;
            QDate last;
            LogPeriod(log.toStdString(), first, last);
            if (!start.isValid()) start = first;
            if (!end.isValid()) end = last;
        }

        // A first run's settings, holding only the filter: whole days before today, Days 0.
        QTemporaryDir dir;
        if (!dir.isValid()) Fail("cannot make a temporary folder");
        QSettings settings(dir.filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat);
        const QDate today = QDate::currentDate();
        settings.setValue(QStringLiteral("Filter/Start"), QString::number(start.daysTo(today)));
        settings.setValue(QStringLiteral("Filter/End"), QString::number(end.daysTo(today)));
        settings.setValue(QStringLiteral("Filter/Days"), QStringLiteral("0"));

        TForm1 form(settings);
        form.show();
        QCoreApplication::processEvents();

        // A faulty line would stop the load on its prompt: refuse it and give up.
        bool prompted = false;
        QTimer promptWatch;
        QObject::connect(&promptWatch, &QTimer::timeout, [&prompted] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                prompted = true;
                box->reject();
            }
        });
        promptWatch.start(50);

        const auto loadStart = Clock::now();
        form.LoadLog(log, false);
        QCoreApplication::processEvents();
        const double loadMs = Milliseconds(Clock::now() - loadStart);
        promptWatch.stop();
        if (prompted) Fail("the log has faulty lines; use a clean log");

        TAlSiteList* sites = form.SiteList();
        if (!sites || sites->Count() == 0) Fail("no site was loaded");
        // The site with the most attempts; among equals, the one with the most alarm events to plot.
        const TAlSite* busiest = nullptr;
        const TAlSite* other = nullptr;
        for (int i = 0; i < sites->Count(); ++i) {
            const TAlSite* site = sites->SiteAt(i);
            if (!busiest || site->ConnCount() > busiest->ConnCount() ||
                (site->ConnCount() == busiest->ConnCount() && AlarmEvents(*site) > AlarmEvents(*busiest))) {
                busiest = site;
            }
        }
        for (int i = 0; i < sites->Count() && !other; ++i) {
            if (sites->SiteAt(i) != busiest) other = sites->SiteAt(i);
        }

        const double refreshMs = BestOf(
            runs, [] {}, [&form] { form.dxRefreshClick(); });

        // Rows are found after the last Refresh, which made them anew.
        QTreeView& tree = *form.Tree();
        const QModelIndex target = SiteRow(tree, busiest);
        const QModelIndex away = other ? SiteRow(tree, other) : QModelIndex();
        if (!target.isValid()) Fail("the busiest site has no row in the tree");
        const double focusMs = BestOf(
            runs, [&] { Focus(tree, away); }, [&] { Focus(tree, target); });
        if (form.SelectedSite != busiest || form.Chart()->PlottedSite() != busiest) {
            Fail("the focus change did not reach the chart");
        }

        std::printf("log %s\n", log.toLocal8Bit().constData());
        std::printf("start %s\n", start.toString(Qt::ISODate).toLatin1().constData());
        std::printf("end %s\n", end.toString(Qt::ISODate).toLatin1().constData());
        std::printf("sites %d\n", sites->Count());
        std::printf("load_ms %.1f\n", loadMs);
        std::printf("refresh_ms %.2f\n", refreshMs);
        std::printf("focus_ms %.2f\n", focusMs);
        std::printf("focus_site %s\n", busiest->Name.c_str());
        std::printf("focus_attempts %d\n", busiest->ConnCount());
        std::printf("focus_alarm_events %lld\n", AlarmEvents(*busiest));
        std::printf("runs %d\n", runs);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        Fail(e.what());
    }
}
