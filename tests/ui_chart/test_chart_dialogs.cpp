// Widget tests of the connection chart, its hover readout and printing, and of the two report
// dialogs: their controls, Export compared with the core's report builders, Done and reopening,
// and a report file that cannot be created. The window runs on the offscreen platform; every modal
// dialog it opens is answered from the test while its loop runs, and given up after a deadline.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>

#include "ConnectionChart.h"
#include "ExportForm.h"
#include "ExportForm2.h"
#include "KelvaneApplication.h"
#include "MainForm.h"
#include "SiteTreeModel.h"
#include "UiText.h"
#include "reports/ConnReport.h"
#include "reports/ReportWriter.h"
#include "reports/SiteReport.h"

using kelvane::ConnectionChart;
using kelvane::ExportDialog;
using kelvane::ReportLines;
using kelvane::TForm1;

namespace {

// The filter of most tests: 1 to 5 November 2006, so the chart runs to the start of 6 November.
const QDate kStart(2006, 11, 1);
const QDate kEnd(2006, 11, 5);

QString Fixture(const char* name) { return QStringLiteral(KELVANE_FIXTURES "/") + QLatin1String(name); }

// The chart's time value of a wall-clock time: seconds since 1970 as if the time were UTC.
double Key(const QDateTime& when) {
    return static_cast<double>(QDateTime(when.date(), when.time(), Qt::UTC).toSecsSinceEpoch());
}

double Key(const QDate& day) { return Key(QDateTime(day, QTime(0, 0))); }

QDateTime At(int day, int month, int hour, int minute = 0) {
    return QDateTime(QDate(2006, month, day), QTime(hour, minute), Qt::UTC);
}

QString ShortDate(const QDate& day) { return QLocale::system().toString(day, QLocale::ShortFormat); }

// A shown main window over settings of its own, with a date filter stored as the window keeps it.
struct Window {
    QTemporaryDir dir;
    QSettings store{dir.filePath(QStringLiteral("kelvane.ini")), QSettings::IniFormat};
    std::unique_ptr<TForm1> form;

    Window(const QDate& start, const QDate& end, int days) {
        const QDate today = QDate::currentDate();
        store.setValue(QStringLiteral("Filter/Start"), QString::number(start.daysTo(today)));
        store.setValue(QStringLiteral("Filter/End"), QString::number(end.daysTo(today)));
        store.setValue(QStringLiteral("Filter/Days"), QString::number(days));
        form = std::make_unique<TForm1>(store);
    }

    bool Show() {
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) return false;
        QCoreApplication::processEvents();
        return true;
    }

    QString File(const char* name) const { return dir.filePath(QLatin1String(name)); }
    ConnectionChart* Chart() const { return form->Chart(); }
};

// What a message box showed when it was answered.
struct SeenBox {
    QString name;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the modal dialogs the window opens. Each showing of a dialog is handed, once it is the
// active modal window, to the answer registered for its object name. A dialog without an answer is
// rejected and noted; past the deadline every dialog still open is rejected and noted, so that a
// test fails instead of hanging.
class ModalPilot : public QObject {
public:
    using Answer = std::function<void(QDialog*)>;

    explicit ModalPilot(qint64 deadlineMs = 30000) : deadlineMs_(deadlineMs) {
        qApp->installEventFilter(this);
        connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
        poll_.start(20);
        clock_.start();
    }
    ~ModalPilot() override { qApp->removeEventFilter(this); }

    void On(const QString& name, Answer answer) { answers_[name] = std::move(answer); }

    QStringList shown;       // object names of the dialogs shown, in order
    QStringList unexpected;  // dialogs nobody expected, or left open past the deadline
    QList<SeenBox> boxes;    // the message boxes among them

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* dialog = qobject_cast<QDialog*>(watched);
            // The load's progress window comes and goes by itself.
            if (dialog && dialog->isWindow() && !qobject_cast<QProgressDialog*>(dialog))
                pending_.append(dialog);
        }
        return false;
    }

private:
    void Poll() {
        if (clock_.elapsed() > deadlineMs_) {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QDialog*>(window);
                if (!dialog || !dialog->isVisible()) continue;
                unexpected << dialog->objectName() + QStringLiteral(" (left open)");
                dialog->reject();
            }
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        for (qsizetype i = 0; i < pending_.size(); ++i) {
            QPointer<QDialog> dialog = pending_.at(i);
            if (!dialog || !dialog->isVisible()) {
                pending_.removeAt(i--);
                continue;
            }
            if (dialog != modal) continue;
            pending_.removeAt(i);
            Dispatch(dialog);
            return;
        }
    }

    void Dispatch(QDialog* dialog) {
        const QString name = dialog->objectName();
        shown << name;
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) boxes << SeenBox{name, box->text(), box->icon()};
        const auto answer = answers_.find(name);
        if (answer == answers_.end()) {
            unexpected << name;
            dialog->reject();
            return;
        }
        // Run from a timer of its own, so that this poll goes on answering boxes the answer opens.
        Answer run = answer->second;
        QTimer::singleShot(0, dialog, [run, dialog] { run(dialog); });
    }

    qint64 deadlineMs_;
    QElapsedTimer clock_;
    QTimer poll_;
    QList<QPointer<QDialog>> pending_;
    std::map<QString, Answer> answers_;
};

// Types a path into a file dialog as a user would, and accepts it.
ModalPilot::Answer ChooseFile(const QString& path) {
    return [path](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        auto* name = files ? files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name) {
            dialog->reject();
            return;
        }
        name->setText(path);
        dialog->accept();
    };
}

ModalPilot::Answer Reject() {
    return [](QDialog* dialog) { dialog->reject(); };
}

ModalPilot::Answer PressOk() {
    return [](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QAbstractButton* ok = box ? box->button(QMessageBox::Ok) : nullptr;
        if (ok) {
            QTest::mouseClick(ok, Qt::LeftButton);
        } else {
            dialog->reject();
        }
    };
}

void Trigger(const TForm1& form, const char* actionName) {
    auto* action = form.findChild<QAction*>(QLatin1String(actionName));
    QVERIFY2(action, actionName);
    action->trigger();
}

// ---------------------------------------------------------------------------------------------
// Tree rows

// A row given as "Site" or "Site/unit number".
QModelIndex Row(const TForm1& form, const QString& path) {
    const QStringList parts = path.split(QLatin1Char('/'));
    const QAbstractItemModel* model = form.Tree()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex site = model->index(row, 0);
        if (site.data().toString() != parts.first()) continue;
        if (parts.size() == 1) return site;
        for (int child = 0; child < model->rowCount(site); ++child) {
            const QModelIndex unit = model->index(child, 0, site);
            if (unit.data().toString() == QStringLiteral("Unit ") + parts.at(1)) return unit;
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Chart content

QString PointTime(double key) {
    return QDateTime::fromSecsSinceEpoch(qRound64(key), Qt::UTC).toString(QStringLiteral("dd/MM/yyyy hh:mm"));
}

QString MarkerColour(const QCPGraph* graph) {
    const QColor fill = graph->scatterStyle().brush().color();
    if (fill == QColor(Qt::red)) return QStringLiteral("red");
    if (fill == QColor(Qt::white)) return QStringLiteral("white");
    return fill.name();
}

// Every point of the chart as "row <y> <series> [colour] <time>": the attempts first, then the
// alarm series in code order, each in key order.
QStringList ChartPoints(const ConnectionChart& chart) {
    QStringList points;
    const auto add = [&points](const QCPGraph* graph, const QString& label) {
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
            points << QStringLiteral("row %1 %2 %3").arg(it->value).arg(label, PointTime(it->key));
        }
    };
    for (const QCPGraph* graph : {chart.ConnectionSeries(), chart.FailedSeries()}) {
        add(graph, graph->name() + QLatin1Char(' ') + MarkerColour(graph));
    }
    for (int code = 0; code < 16; ++code) add(chart.AlarmSeries(code), chart.AlarmSeries(code)->name());
    return points;
}

QStringList LegendTexts(const ConnectionChart& chart) {
    QStringList texts;
    for (int i = 0; i < chart.legend->itemCount(); ++i) {
        auto* item = qobject_cast<QCPPlottableLegendItem*>(chart.legend->item(i));
        texts << (item ? item->plottable()->name() : QStringLiteral("?"));
    }
    return texts;
}

// Moves the mouse over the chart to a time and a row value, as the user would, and returns the
// status bar's text; empty with a note when the place is not on the chart.
QString HoverAt(const TForm1& form, const QDateTime& when, double y, QString& note) {
    ConnectionChart* chart = form.Chart();
    const QPoint target(qRound(chart->xAxis->coordToPixel(Key(when))), qRound(chart->yAxis->coordToPixel(y)));
    if (!chart->rect().contains(target)) {
        note = QStringLiteral("(%1, %2) lies outside the chart").arg(target.x()).arg(target.y());
        return {};
    }
    // From somewhere else first, so that the last move is a real change of position.
    QPoint elsewhere = chart->rect().center();
    if ((elsewhere - target).manhattanLength() < 4) elsewhere += QPoint(20, 20);
    QTest::mouseMove(chart, elsewhere);
    QTest::mouseMove(chart, target);
    return form.StatusText();
}

// ---------------------------------------------------------------------------------------------
// Report dialogs

struct CheckBoxRow {
    const char* dialog;
    const char* name;
    const char* caption;
    bool ticked;
};

const CheckBoxRow kBoxes[] = {
    {"FExport", "cbDates", "Filter Dates", true},
    {"FExport", "cbHeaders", "Column Headings", true},
    {"FExport", "cbSites", "Sites", true},
    {"FExport", "cbUnitLines", "Unit Lines", false},
    {"FExport", "cbKey", "Alarm/Trip Key", false},
    {"FExport", "cbConnStats", "Connection Stats", false},
    {"FExport", "cbSiteAlarms", "Site Alarms", false},
    {"FExport", "cbInactiveSites", "Inactive Sites", false},
    {"FExport2", "cbDates", "Filter Dates", true},
    {"FExport2", "cbHeaders", "Column Headings", true},
    {"FExport2", "cbSites", "Sites", true},
    {"FExport2", "cbConnStats", "Connection Stats", false},
    {"FExport2", "cbInactiveSites", "Inactive Sites", false},
};

using BoxStates = std::map<QString, bool>;

// The check boxes of a dialog in their initial states, with the named ones flipped.
BoxStates States(const QString& dialog, const QStringList& flipped = {}) {
    BoxStates states;
    for (const CheckBoxRow& box : kBoxes) {
        if (dialog == QLatin1String(box.dialog)) states[QLatin1String(box.name)] = box.ticked;
    }
    for (const QString& name : flipped) states[name] = !states[name];
    return states;
}

ExportDialog* DialogOf(const TForm1& form, const QString& kind) {
    if (kind == QLatin1String("FExport")) return form.FExport();
    return form.FExport2();
}

const char* CommandOf(const QString& kind) {
    return kind == QLatin1String("FExport") ? "dxExport" : "FileExport2";
}

// The report the core builds for the window's site list with these options, today.
ReportLines ExpectedLines(const TForm1& form, const QString& kind, const BoxStates& states, bool tab) {
    kelvane::SiteReportOptions options;
    const auto ticked = [&states](const char* name) {
        const auto it = states.find(QLatin1String(name));
        return it != states.end() && it->second;
    };
    options.filterDates = ticked("cbDates");
    options.columnHeadings = ticked("cbHeaders");
    options.sites = ticked("cbSites");
    options.connStats = ticked("cbConnStats");
    options.inactiveSites = ticked("cbInactiveSites");
    options.unitLines = ticked("cbUnitLines");
    options.siteAlarms = ticked("cbSiteAlarms");
    options.key = ticked("cbKey");
    options.separator = tab ? kelvane::FieldSeparator::Tab : kelvane::FieldSeparator::Comma;
    if (kind == QLatin1String("FExport")) {
        return kelvane::SiteReport(*form.SiteList(), options, form.UserLocale(), kelvane::Today()).Build();
    }
    return kelvane::ConnReport(*form.SiteList(), options, form.UserLocale(), kelvane::Today()).Build();
}

// The report area's text for the lines: one text line per report line.
QString MemoText(const ReportLines& lines) {
    QStringList texts;
    for (const std::string& line : lines) texts << kelvane::ShowText(line);
    return texts.join(QLatin1Char('\n'));
}

QByteArray FileBytes(const ReportLines& lines) {
    const std::string bytes = kelvane::ReportFileBytes(lines);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Clicks a check box or radio button on its label, as the user would.
void ClickOption(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    const QRect area = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonClickRect : QStyle::SE_CheckBoxClickRect, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, {}, area.center());
}

// Sets the dialog's check boxes and separator by clicking them; a text saying what failed, or empty.
QString SetOptions(ExportDialog* dialog, const BoxStates& states, bool tab) {
    for (const auto& [name, ticked] : states) {
        auto* box = dialog->findChild<QCheckBox*>(name);
        if (!box) return QStringLiteral("no check box ") + name;
        if (box->isChecked() != ticked) ClickOption(box);
        if (box->isChecked() != ticked) return QStringLiteral("clicking did not change ") + name;
    }
    ClickOption(tab ? dialog->rgSepTab : dialog->rgSepComma);
    if (dialog->rgSepTab->isChecked() != tab) return QStringLiteral("clicking did not choose the separator");
    return {};
}

// The dialog's check box states and separator as they stand.
BoxStates CurrentStates(const ExportDialog* dialog) {
    BoxStates states;
    for (const QCheckBox* box : dialog->findChildren<QCheckBox*>())
        states[box->objectName()] = box->isChecked();
    return states;
}

QStringList Describe(const BoxStates& states) {
    QStringList texts;
    for (const auto& [name, ticked] : states)
        texts << name + (ticked ? QStringLiteral(" ticked") : QStringLiteral(" clear"));
    return texts;
}

bool WholeTextSelected(const QPlainTextEdit* memo) {
    const QTextCursor cursor = memo->textCursor();
    return cursor.hasSelection() && cursor.selectionStart() == 0 &&
           cursor.selectionEnd() == memo->document()->characterCount() - 1;
}

// What an answer saw while the report dialog was open.
struct DialogVisit {
    int visits = 0;
    QString setupError;
    QString memoAtShow;
    BoxStates statesAtShow;
    bool tabAtShow = false;
    QString memoAfterExport;
    bool selectedAfterExport = false;
    bool openAfterExport = false;
    QString clipboardAfterExport;
};

}  // namespace

class ChartDialogsTest : public QObject {
    Q_OBJECT

private slots:
    // The chart
    void chartPoints_data();
    void chartPoints();
    void axisRange_data();
    void axisRange();
    void startAfterEndReported_data();
    void startAfterEndReported();
    void startDayAfterEndIsNoError();
    void refreshLeavesChartUntilFocusChanges();
    void dragPansSideways();
    void loadKeepsOrClearsChart_data();
    void loadKeepsOrClearsChart();
    void hoverReadout_data();
    void hoverReadout();
    void printOnePage_data();
    void printOnePage();

    // The report dialogs
    void checkBoxes_data();
    void checkBoxes();
    void dialogControls_data();
    void dialogControls();
    void exportMatchesBuilder_data();
    void exportMatchesBuilder();
    void optionsSurviveClosing_data();
    void optionsSurviveClosing();
    void saveFailureReported_data();
    void saveFailureReported();
    void showWithoutSiteList_data();
    void showWithoutSiteList();
    void commandWithoutDialog_data();
    void commandWithoutDialog();
};

// ---------------------------------------------------------------------------------------------
// The chart

void ChartDialogsTest::chartPoints_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("points");

    // North's attempts stand in the log out of time order; 4 November has no online line, so it
    // failed without a link error; 5 November had a link error that does not spoil a connection;
    // unit 3's trip is never plotted.
    QTest::newRow("site")
        << "North"
        << "North"
        << QStringList{
               "row 0 Connection red 25/10/2006 09:00",   "row 0 Connection red 01/11/2006 09:00",
               "row 0 Connection red 05/11/2006 09:00",   "row 0 Connection white 02/11/2006 09:00",
               "row 0 Connection white 03/11/2006 09:00", "row 0 Connection white 04/11/2006 09:00",
               "row 1 Sensor 01/11/2006 09:00",           "row 2 Variance 25/10/2006 09:00",
               "row 4 HighTemp 01/11/2006 09:00",         "row 9 Mains 05/11/2006 09:00",
           };
    QTest::newRow("unit with two codes in one event")
        << "North/2"
        << "2" << QStringList{"row 1 Sensor 01/11/2006 09:00", "row 4 HighTemp 01/11/2006 09:00"};
    QTest::newRow("unit with events inside and before the period")
        << "North/3"
        << "3" << QStringList{"row 2 Variance 25/10/2006 09:00", "row 9 Mains 05/11/2006 09:00"};
    QTest::newRow("site with the last alarm code")
        << "South"
        << "South" << QStringList{"row 0 Connection red 02/11/2006 12:00", "row 16 Reset 02/11/2006 12:00"};
}

void ChartDialogsTest::chartPoints() {
    QFETCH(QString, row);
    QFETCH(QString, status);
    QFETCH(QStringList, points);

    ModalPilot pilot;
    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);

    // Another row first: every change replaces the chart's content.
    const QString other =
        row.startsWith(QLatin1String("South")) ? QStringLiteral("North") : QStringLiteral("South");
    window.form->Tree()->setCurrentIndex(Row(*window.form, other));
    const QModelIndex index = Row(*window.form, row);
    QVERIFY(index.isValid());
    window.form->Tree()->setCurrentIndex(index);

    QCOMPARE(ChartPoints(*window.Chart()), points);
    QCOMPARE(window.form->StatusText(), status);
    const bool unitRow = row.contains(QLatin1Char('/'));
    QCOMPARE(window.form->SelectedSite != nullptr, !unitRow);
    QCOMPARE(window.form->SelectedUnit != nullptr, unitRow);
    QCOMPARE(LegendTexts(*window.Chart()),
             (QStringList{"Connection", "Sensor", "Variance", "LowTemp", "HighTemp", "NoSens", "Trip", "Feed",
                          "Water", "Mains", "Output", "Override", "System", "Timeout", "Battery", "Network",
                          "Reset"}));
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::axisRange_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("row");

    QTest::newRow("site") << kStart << kEnd << 0 << "North";
    QTest::newRow("unit") << kStart << kEnd << 0 << "North/3";
    QTest::newRow("days do not narrow the axis") << kStart << kEnd << 2 << "South";
    QTest::newRow("one day") << QDate(2006, 11, 3) << QDate(2006, 11, 3) << 0 << "North";
    QTest::newRow("period after every point") << QDate(2007, 2, 1) << QDate(2007, 3, 31) << 0 << "North";
}

void ChartDialogsTest::axisRange() {
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(int, days);
    QFETCH(QString, row);

    ModalPilot pilot;
    Window window(start, end, days);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    window.form->Tree()->setCurrentIndex(Row(*window.form, row));

    // From the Start date to the day after the End date.
    const QCPRange time = window.Chart()->xAxis->range();
    QCOMPARE(time.lower, Key(start));
    QCOMPARE(time.upper, Key(end.addDays(1)));
    // Rows 0 to 17, row 0 at the top.
    QCOMPARE(window.Chart()->yAxis->range().lower, 0.0);
    QCOMPARE(window.Chart()->yAxis->range().upper, 17.0);
    QVERIFY(window.Chart()->yAxis->rangeReversed());
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::startAfterEndReported_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("pointCount");

    QTest::newRow("site") << "North"
                          << "North" << 10;
    QTest::newRow("unit") << "North/2"
                          << "2" << 2;
}

void ChartDialogsTest::startAfterEndReported() {
    QFETCH(QString, row);
    QFETCH(QString, status);
    QFETCH(int, pointCount);

    ModalPilot pilot;
    pilot.On(QStringLiteral("ErrorDisplay"), PressOk());
    // Start 10 November, End 4 November: the period runs backwards from 10 to 5 November.
    Window window(QDate(2006, 11, 10), QDate(2006, 11, 4), 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);

    // Focused by the user's click, so that the error takes the application's way to the display.
    QTreeView* tree = window.form->Tree();
    const QModelIndex index = Row(*window.form, row);
    QVERIFY(index.isValid());
    tree->scrollTo(index);  // opens the site of a unit row
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());

    QCOMPARE(tree->currentIndex(), index);
    QCOMPARE(static_cast<int>(pilot.boxes.size()), 1);
    QCOMPARE(pilot.boxes.first().name, QStringLiteral("ErrorDisplay"));
    QCOMPARE(pilot.boxes.first().text, QStringLiteral("Axis Minimum Value must be <= Maximum"));
    QCOMPARE(pilot.boxes.first().icon, QMessageBox::Critical);
    QCOMPARE(static_cast<int>(ChartPoints(*window.Chart()).size()), pointCount);
    QCOMPARE(window.form->StatusText(), status);
    const QCPRange time = window.Chart()->xAxis->range();
    QCOMPARE(time.lower, ConnectionChart::ToAxis(0));
    QCOMPARE(time.upper, Key(QDate(2006, 11, 5)));
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::startDayAfterEndIsNoError() {
    // Start 6 November, End 5 November: the period starts and ends at the start of 6 November.
    ModalPilot pilot;  // no answer for the error display: a box would fail the test
    Window window(QDate(2006, 11, 6), kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    try {
        window.form->Tree()->setCurrentIndex(Row(*window.form, QStringLiteral("North")));
    } catch (const std::exception& e) {
        QFAIL(e.what());
    }

    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
    QCOMPARE(static_cast<int>(ChartPoints(*window.Chart()).size()), 10);
    // The axis stands at that moment, not at 30 December 1899.
    const double moment = Key(QDate(2006, 11, 6));
    const QCPRange time = window.Chart()->xAxis->range();
    QVERIFY2(
        time.lower <= moment && moment <= time.upper && time.upper - time.lower <= 86400.0,
        qPrintable(QStringLiteral("axis from %1 to %2").arg(PointTime(time.lower), PointTime(time.upper))));
}

void ChartDialogsTest::refreshLeavesChartUntilFocusChanges() {
    ModalPilot pilot;
    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    window.form->Tree()->setCurrentIndex(Row(*window.form, QStringLiteral("North")));
    const QStringList points = ChartPoints(*window.Chart());

    window.form->findChild<QDateEdit*>(QStringLiteral("dxFilterStart"))->setDate(QDate(2006, 10, 20));
    window.form->findChild<QDateEdit*>(QStringLiteral("dxFilterEnd"))->setDate(QDate(2006, 10, 31));
    Trigger(*window.form, "dxRefresh");
    QCOMPARE(ChartPoints(*window.Chart()), points);
    QCOMPARE(window.Chart()->xAxis->range().lower, Key(kStart));
    QCOMPARE(window.Chart()->xAxis->range().upper, Key(kEnd.addDays(1)));

    window.form->Tree()->setCurrentIndex(Row(*window.form, QStringLiteral("North")));
    QCOMPARE(ChartPoints(*window.Chart()), points);
    QCOMPARE(window.Chart()->xAxis->range().lower, Key(QDate(2006, 10, 20)));
    QCOMPARE(window.Chart()->xAxis->range().upper, Key(QDate(2006, 11, 1)));
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::dragPansSideways() {
    ModalPilot pilot;
    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    window.form->Tree()->setCurrentIndex(Row(*window.form, QStringLiteral("North")));
    ConnectionChart* chart = window.Chart();
    chart->replot();

    // Dragged one day to the right and a few rows down.
    const QPoint from(qRound(chart->xAxis->coordToPixel(Key(At(2, 11, 12)))),
                      qRound(chart->yAxis->coordToPixel(8)));
    const QPoint to(qRound(chart->xAxis->coordToPixel(Key(At(3, 11, 12)))),
                    qRound(chart->yAxis->coordToPixel(11)));
    QTest::mousePress(chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(chart, (from + to) / 2);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, to);

    const QCPRange time = chart->xAxis->range();
    const double pixelSeconds = 86400.0 / (to.x() - from.x());  // one pixel of rounding either way
    QVERIFY2(qAbs(time.lower - Key(QDate(2006, 10, 31))) <= 2 * pixelSeconds,
             qPrintable(PointTime(time.lower)));
    QVERIFY2(qAbs(time.size() - 5 * 86400.0) <= 1.0, qPrintable(QString::number(time.size())));
    QCOMPARE(chart->yAxis->range().lower, 0.0);
    QCOMPARE(chart->yAxis->range().upper, 17.0);

    // The readout follows the moved axis.
    chart->replot();
    QString note;
    const QString text = HoverAt(*window.form, At(31, 10, 12), 3.6, note);
    QVERIFY2(note.isEmpty(), qPrintable(note));
    QCOMPARE(text, ShortDate(QDate(2006, 10, 31)) + QStringLiteral("  HIGH TEMPERATURE"));
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::loadKeepsOrClearsChart_data() {
    QTest::addColumn<bool>("merge");
    QTest::addColumn<int>("pointCount");
    QTest::addColumn<QString>("readoutAtMarker");  // after the date, over North's attempt of 1 November

    QTest::newRow("open replaces the list") << false << 0 << "";
    QTest::newRow("add keeps the focused site") << true << 10 << " Connection";
}

void ChartDialogsTest::loadKeepsOrClearsChart() {
    QFETCH(bool, merge);
    QFETCH(int, pointCount);
    QFETCH(QString, readoutAtMarker);

    ModalPilot pilot;
    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    window.form->Tree()->setCurrentIndex(Row(*window.form, QStringLiteral("North")));
    QCOMPARE(static_cast<int>(ChartPoints(*window.Chart()).size()), 10);

    window.form->LoadLog(Fixture("chart_other.log"), merge);
    QCOMPARE(static_cast<int>(ChartPoints(*window.Chart()).size()), pointCount);

    // The readout must not reach into a site of a list that is gone.
    window.Chart()->replot();
    QString note;
    const QString text = HoverAt(*window.form, At(1, 11, 9), 0.2, note);
    QVERIFY2(note.isEmpty(), qPrintable(note));
    QCOMPARE(text, ShortDate(QDate(2006, 11, 1)) + readoutAtMarker);
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::hoverReadout_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<double>("y");
    QTest::addColumn<QString>("suffix");  // after the date

    QTest::newRow("alarm row 4") << "North" << At(2, 11, 18) << 3.6 << "  HIGH TEMPERATURE";
    QTest::newRow("alarm row 1 just below row 0") << "North" << At(3, 11, 15) << 0.6 << "  SENSOR FAILURE";
    QTest::newRow("last alarm row") << "North" << At(4, 11, 12) << 16.4 << "  SYSTEM RESET";
    QTest::newRow("alarm row on a unit") << "North/3" << At(1, 11, 9) << 9.0 << "  MAINS FAILURE";
    QTest::newRow("attempt with status 0") << "North" << At(1, 11, 9) << 0.2 << " Connection";
    QTest::newRow("failed attempt with status 0") << "North" << At(4, 11, 9) << 0.2 << " Connection";
    QTest::newRow("link errors 3 and 7")
        << "North" << At(2, 11, 9) << 0.2 << " \"No connection\",\"Link user abort\"";
    QTest::newRow("link error 0 alone") << "North" << At(3, 11, 9) << 0.2 << " Unknown";
    QTest::newRow("link error that still connected, a text with a blank")
        << "North" << At(5, 11, 9) << 0.2 << " \"Log transmission\"";
    QTest::newRow("row 0 away from markers") << "North" << At(2, 11, 21) << 0.2 << "";
    QTest::newRow("above row 0") << "North" << At(1, 11, 9) << -0.7 << "";
    QTest::newRow("below row 16") << "North" << At(1, 11, 9) << 16.6 << "";
    QTest::newRow("unit row focused, over a site marker") << "North/2" << At(1, 11, 9) << 0.2 << "";
}

void ChartDialogsTest::hoverReadout() {
    QFETCH(QString, row);
    QFETCH(QDateTime, when);
    QFETCH(double, y);
    QFETCH(QString, suffix);

    ModalPilot pilot;
    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    window.form->Tree()->setCurrentIndex(Row(*window.form, row));
    window.Chart()->replot();

    QString note;
    const QString text = HoverAt(*window.form, when, y, note);
    QVERIFY2(note.isEmpty(), qPrintable(note));
    QCOMPARE(text, ShortDate(when.date()) + suffix);
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

void ChartDialogsTest::printOnePage_data() {
    QTest::addColumn<QString>("row");  // empty: nothing focused
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<bool>("landscape");

    QTest::newRow("site on A4") << "North" << int(QPageSize::A4) << false;
    QTest::newRow("unit on Letter, landscape") << "North/3" << int(QPageSize::Letter) << true;
    QTest::newRow("empty chart") << "" << int(QPageSize::A4) << false;
}

void ChartDialogsTest::printOnePage() {
    QFETCH(QString, row);
    QFETCH(int, pageSize);
    QFETCH(bool, landscape);

    ModalPilot pilot;
    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_site.log"), false);
    if (!row.isEmpty()) window.form->Tree()->setCurrentIndex(Row(*window.form, row));

    const QString path = window.File("chart.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(pageSize)));
        printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        window.form->PrintChart(printer);
    }

    const QByteArray pdf = ReadFile(path);
    QVERIFY2(pdf.startsWith("%PDF"), "not a PDF file");
    const QString text = QString::fromLatin1(pdf);
    QCOMPARE(static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![A-Za-z])")))),
             1);
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
}

// ---------------------------------------------------------------------------------------------
// The report dialogs

void ChartDialogsTest::checkBoxes_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("ticked");

    for (const CheckBoxRow& box : kBoxes) {
        QTest::addRow("%s %s", box.dialog, box.name)
            << QString::fromLatin1(box.dialog) << QString::fromLatin1(box.name)
            << QString::fromLatin1(box.caption) << box.ticked;
    }
}

void ChartDialogsTest::checkBoxes() {
    QFETCH(QString, dialog);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, ticked);

    Window window(kStart, kEnd, 0);
    auto* form = window.form->findChild<ExportDialog*>(dialog);
    QVERIFY(form);
    auto* box = form->findChild<QCheckBox*>(name);
    QVERIFY(box);
    QCOMPARE(box->text(), caption);
    QCOMPARE(box->isChecked(), ticked);
    QVERIFY(box->isEnabled());
}

void ChartDialogsTest::dialogControls_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("caption");

    QTest::newRow("site report") << "FExport"
                                 << "Export";
    QTest::newRow("connection report") << "FExport2"
                                       << "Export2";
}

void ChartDialogsTest::dialogControls() {
    QFETCH(QString, dialog);
    QFETCH(QString, caption);

    Window window(kStart, kEnd, 0);
    ExportDialog* form = DialogOf(*window.form, dialog);
    QCOMPARE(form->objectName(), dialog);
    QCOMPARE(form->windowTitle(), caption);
    QVERIFY(!form->isVisible());

    // Exactly the check boxes of its report.
    QCOMPARE(Describe(CurrentStates(form)), Describe(States(dialog)));

    auto* memo = form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    QVERIFY(memo);
    QVERIFY(memo->toPlainText().isEmpty());
    QVERIFY(!memo->isReadOnly());

    auto* separator = form->findChild<QGroupBox*>(QStringLiteral("rgSep"));
    QVERIFY(separator);
    QCOMPARE(separator->title(), QStringLiteral("Field Separator"));
    QStringList items;
    for (const QRadioButton* item : separator->findChildren<QRadioButton*>()) items << item->text();
    QCOMPARE(items, (QStringList{"Comma", "Tab"}));
    QVERIFY(form->rgSepComma->isChecked());
    QVERIFY(!form->rgSepTab->isChecked());

    auto* exportButton = form->findChild<QPushButton*>(QStringLiteral("buttExport"));
    auto* doneButton = form->findChild<QPushButton*>(QStringLiteral("buttDone"));
    QVERIFY(exportButton && doneButton);
    QCOMPARE(exportButton->text(), QStringLiteral("Export"));
    QCOMPARE(doneButton->text(), QStringLiteral("Done"));
    QVERIFY(exportButton->isDefault());
    QVERIFY(!doneButton->isDefault());
}

void ChartDialogsTest::exportMatchesBuilder_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("flipped");  // check boxes changed from their initial states
    QTest::addColumn<bool>("tab");
    QTest::addColumn<bool>("enter");  // Export by the Enter key instead of the button

    QTest::newRow("site report, defaults") << "FExport" << QStringList{} << false << false;
    QTest::newRow("site report, defaults, Enter") << "FExport" << QStringList{} << false << true;
    QTest::newRow("site report, tab") << "FExport" << QStringList{} << true << false;
    for (const char* name : {"cbDates", "cbHeaders", "cbSites", "cbUnitLines", "cbKey", "cbConnStats",
                             "cbSiteAlarms", "cbInactiveSites"}) {
        QTest::addRow("site report, %s flipped", name)
            << "FExport" << QStringList{QLatin1String(name)} << false << false;
    }
    QTest::newRow("site report, everything added, tab")
        << "FExport" << QStringList{"cbUnitLines", "cbKey", "cbConnStats", "cbSiteAlarms", "cbInactiveSites"}
        << true << false;
    QTest::newRow("site report, site alarms and stats")
        << "FExport" << QStringList{"cbSiteAlarms", "cbConnStats", "cbInactiveSites"} << false << false;
    QTest::newRow("site report, nothing ticked")
        << "FExport" << QStringList{"cbDates", "cbHeaders", "cbSites"} << false << false;

    QTest::newRow("connection report, defaults") << "FExport2" << QStringList{} << false << false;
    QTest::newRow("connection report, tab, Enter") << "FExport2" << QStringList{} << true << true;
    for (const char* name : {"cbDates", "cbHeaders", "cbSites", "cbConnStats", "cbInactiveSites"}) {
        QTest::addRow("connection report, %s flipped", name)
            << "FExport2" << QStringList{QLatin1String(name)} << false << false;
    }
    QTest::newRow("connection report, everything added, tab")
        << "FExport2" << QStringList{"cbConnStats", "cbInactiveSites"} << true << false;
    QTest::newRow("connection report, nothing ticked")
        << "FExport2" << QStringList{"cbDates", "cbHeaders", "cbSites"} << false << false;
}

void ChartDialogsTest::exportMatchesBuilder() {
    QFETCH(QString, dialog);
    QFETCH(QStringList, flipped);
    QFETCH(bool, tab);
    QFETCH(bool, enter);

    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_report.log"), false);
    const QString path = window.File("report.csv");
    const BoxStates states = States(dialog, flipped);

    ModalPilot pilot;
    pilot.On(QStringLiteral("SaveDialog1"), ChooseFile(path));
    DialogVisit visit;
    pilot.On(dialog, [&visit, &states, tab, enter](QDialog* shown) {
        auto* form = static_cast<ExportDialog*>(shown);
        ++visit.visits;
        visit.setupError = SetOptions(form, states, tab);
        if (enter) {
            // From a check box, as after ticking one.
            QCheckBox* box = form->cbSites;
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
        } else {
            QTest::mouseClick(form->buttExport, Qt::LeftButton);
        }
        visit.memoAfterExport = form->Memo1->toPlainText();
        visit.selectedAfterExport = WholeTextSelected(form->Memo1);
        visit.openAfterExport = form->isVisible();
        visit.clipboardAfterExport = QApplication::clipboard()->text();
        QTest::mouseClick(form->buttDone, Qt::LeftButton);
    });
    QApplication::clipboard()->setText(QStringLiteral("before the export"));
    Trigger(*window.form, CommandOf(dialog));

    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
    QCOMPARE(pilot.shown, (QStringList{"SaveDialog1", dialog}));
    QCOMPARE(visit.visits, 1);
    QVERIFY2(visit.setupError.isEmpty(), qPrintable(visit.setupError));
    QCOMPARE(DialogOf(*window.form, dialog)->FileName(), path);

    const ReportLines lines = ExpectedLines(*window.form, dialog, states, tab);
    QCOMPARE(visit.memoAfterExport, MemoText(lines));
    QVERIFY(visit.openAfterExport);
    QVERIFY(QFile::exists(path));
    const QByteArray file = ReadFile(path);
    QCOMPARE(file, FileBytes(lines));
    QCOMPARE(visit.clipboardAfterExport, QString::fromLatin1(file));
    if (!lines.empty()) QVERIFY(visit.selectedAfterExport);

    // Done empties the report area and closes the dialog.
    QVERIFY(DialogOf(*window.form, dialog)->Memo1->toPlainText().isEmpty());
    QVERIFY(!DialogOf(*window.form, dialog)->isVisible());

    // Each option must show in this log, or the row would prove nothing.
    if (!flipped.isEmpty() || tab)
        QVERIFY(lines != ExpectedLines(*window.form, dialog, States(dialog), false));
}

void ChartDialogsTest::optionsSurviveClosing_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("closing");  // "Done", "Escape" or "frame"
    QTest::addColumn<bool>("memoEmptied");

    for (const char* dialog : {"FExport", "FExport2"}) {
        QTest::addRow("%s, Done", dialog) << QString::fromLatin1(dialog) << "Done" << true;
        QTest::addRow("%s, Escape", dialog) << QString::fromLatin1(dialog) << "Escape" << true;
        QTest::addRow("%s, window frame", dialog) << QString::fromLatin1(dialog) << "frame" << false;
    }
}

void ChartDialogsTest::optionsSurviveClosing() {
    QFETCH(QString, dialog);
    QFETCH(QString, closing);
    QFETCH(bool, memoEmptied);

    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_report.log"), false);
    const QString path = window.File("report.txt");
    ExportDialog* form = DialogOf(*window.form, dialog);

    // Every option but Sites away from its initial state.
    QStringList all;
    for (const auto& [name, ticked] : States(dialog)) {
        if (name != QLatin1String("cbSites")) all << name;
    }
    const BoxStates changed = States(dialog, all);

    ModalPilot pilot;
    DialogVisit first;
    DialogVisit second;
    pilot.On(dialog, [&](QDialog*) {
        DialogVisit& visit = first.visits == 0 ? first : second;
        ++visit.visits;
        visit.memoAtShow = form->Memo1->toPlainText();
        visit.statesAtShow = CurrentStates(form);
        visit.tabAtShow = form->rgSepTab->isChecked();
        if (&visit == &second) {
            QTest::mouseClick(form->buttDone, Qt::LeftButton);
            return;
        }
        visit.setupError = SetOptions(form, changed, true);
        QTest::mouseClick(form->buttExport, Qt::LeftButton);
        visit.memoAfterExport = form->Memo1->toPlainText();
        if (closing == QLatin1String("Done")) {
            QTest::mouseClick(form->buttDone, Qt::LeftButton);
        } else if (closing == QLatin1String("Escape")) {
            QTest::keyClick(form->Memo1, Qt::Key_Escape);
        } else {
            form->close();
        }
    });

    form->ShowExport(path, window.form->SiteList());
    QVERIFY2(first.setupError.isEmpty(), qPrintable(first.setupError));
    QVERIFY(!first.memoAfterExport.isEmpty());
    QVERIFY2(!form->isVisible(), "the dialog stayed open");
    QCOMPARE(form->Memo1->toPlainText().isEmpty(), memoEmptied);

    form->ShowExport(path, window.form->SiteList());
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
    QCOMPARE(second.visits, 1);
    QVERIFY(second.memoAtShow.isEmpty());
    QCOMPARE(Describe(second.statesAtShow), Describe(changed));
    QVERIFY(second.tabAtShow);
}

void ChartDialogsTest::saveFailureReported_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("path");     // empty: a file in a folder that does not exist
    QTest::addColumn<QString>("message");  // empty: "Cannot create file" and the path

    QTest::newRow("site report, missing folder") << "FExport"
                                                 << ""
                                                 << "";
    QTest::newRow("connection report, missing folder") << "FExport2"
                                                       << ""
                                                       << "";
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        QTest::newRow("site report, device full") << "FExport"
                                                  << "/dev/full"
                                                  << "Stream write error";
        QTest::newRow("connection report, device full") << "FExport2"
                                                        << "/dev/full"
                                                        << "Stream write error";
    }
}

void ChartDialogsTest::saveFailureReported() {
    QFETCH(QString, dialog);
    QFETCH(QString, path);
    QFETCH(QString, message);

    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    window.form->LoadLog(Fixture("chart_report.log"), false);
    const bool missingFolder = path.isEmpty();
    if (missingFolder) path = window.File("missing/report.csv");
    if (message.isEmpty()) message = QStringLiteral("Cannot create file ") + path;

    ModalPilot pilot;
    pilot.On(QStringLiteral("SaveDialog1"), ChooseFile(path));
    pilot.On(QStringLiteral("ErrorDisplay"), PressOk());
    DialogVisit visit;
    pilot.On(dialog, [&visit](QDialog* shown) {
        auto* form = static_cast<ExportDialog*>(shown);
        ++visit.visits;
        QApplication::clipboard()->setText(QStringLiteral("before the export"));
        QTest::mouseClick(form->buttExport, Qt::LeftButton);
        visit.memoAfterExport = form->Memo1->toPlainText();
        visit.selectedAfterExport = form->Memo1->textCursor().hasSelection();
        visit.openAfterExport = form->isVisible();
        visit.clipboardAfterExport = QApplication::clipboard()->text();
        QTest::mouseClick(form->buttDone, Qt::LeftButton);
    });
    Trigger(*window.form, CommandOf(dialog));

    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
    QCOMPARE(pilot.shown, (QStringList{"SaveDialog1", dialog, "ErrorDisplay"}));
    QCOMPARE(pilot.boxes.first().text, message);
    QCOMPARE(pilot.boxes.first().icon, QMessageBox::Critical);
    // The dialog stays open with the whole report in view, not selected; the clipboard keeps its text.
    QVERIFY(visit.openAfterExport);
    QCOMPARE(visit.memoAfterExport, MemoText(ExpectedLines(*window.form, dialog, States(dialog), false)));
    QVERIFY(!visit.selectedAfterExport);
    QCOMPARE(visit.clipboardAfterExport, QStringLiteral("before the export"));
    if (missingFolder) QVERIFY(!QFile::exists(path));
}

void ChartDialogsTest::showWithoutSiteList_data() {
    QTest::addColumn<QString>("dialog");

    QTest::newRow("site report") << "FExport";
    QTest::newRow("connection report") << "FExport2";
}

void ChartDialogsTest::showWithoutSiteList() {
    QFETCH(QString, dialog);

    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    ExportDialog* form = DialogOf(*window.form, dialog);
    form->Memo1->setPlainText(QStringLiteral("typed by the user"));
    const QString path = window.File("report.csv");

    ModalPilot pilot;
    form->ShowExport(path, nullptr);

    QVERIFY(pilot.shown.isEmpty());
    QVERIFY(!form->isVisible());
    QCOMPARE(form->Memo1->toPlainText(), QStringLiteral("typed by the user"));
    QVERIFY(form->FileName().isEmpty());
    QVERIFY(!QFile::exists(path));
}

void ChartDialogsTest::commandWithoutDialog_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<bool>("fileChosen");

    for (const char* dialog : {"FExport", "FExport2"}) {
        QTest::addRow("%s before any load", dialog) << QString::fromLatin1(dialog) << false << true;
        QTest::addRow("%s, save dialog cancelled", dialog) << QString::fromLatin1(dialog) << true << false;
    }
}

void ChartDialogsTest::commandWithoutDialog() {
    QFETCH(QString, dialog);
    QFETCH(bool, loaded);
    QFETCH(bool, fileChosen);

    Window window(kStart, kEnd, 0);
    QVERIFY(window.Show());
    if (loaded) window.form->LoadLog(Fixture("chart_report.log"), false);
    const QString path = window.File("report.csv");

    ModalPilot pilot;
    pilot.On(QStringLiteral("SaveDialog1"), fileChosen ? ChooseFile(path) : Reject());
    Trigger(*window.form, CommandOf(dialog));

    QCOMPARE(pilot.shown, QStringList{"SaveDialog1"});
    QVERIFY2(pilot.unexpected.isEmpty(), qPrintable(pilot.unexpected.join(QLatin1String(", "))));
    QVERIFY(!QFile::exists(path));
}

int main(int argc, char* argv[]) {
    // The fixture logs write their dates day/month/year, as the British short date does.
    qputenv("LC_ALL", "en_GB.UTF-8");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    kelvane::KelvaneApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvane"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    ChartDialogsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_chart_dialogs.moc"
