#include "ConnectionChart.h"

#include <QPrinter>

#include <algorithm>
#include <cmath>

#include "UiText.h"
#include "log/Alarmconsts.h"
#include "platform/Exception.h"

namespace kelvane {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kUnixEpochDay = 25569.0;  // 1970-01-01 as a day number
constexpr double kHitTolerance = 5.0;      // pixels around a marker
constexpr double kMarkerSize = 7.0;

// Distinct colours for the alarm rows, in code order.
const QColor kAlarmColours[16] = {
    QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
    QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(188, 189, 34),  QColor(23, 190, 207), QColor(0, 0, 128),     QColor(128, 128, 0),
    QColor(0, 128, 128),   QColor(128, 0, 128),  QColor(255, 215, 0),   QColor(70, 130, 180),
};

QCPScatterStyle Marker(const QColor& fill) {
    return QCPScatterStyle(QCPScatterStyle::ssSquare, QPen(QColor(64, 64, 64), 1), QBrush(fill), kMarkerSize);
}

QCPGraph* MakeSeries(QCustomPlot* plot, const QString& name, const QColor& fill) {
    QCPGraph* graph = plot->addGraph();
    graph->setName(name);
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(Marker(fill));
    graph->setPen(QPen(fill));
    return graph;
}

}  // namespace

double ConnectionChart::ToAxis(TDateTime value) { return (value - kUnixEpochDay) * kSecondsPerDay; }

TDateTime ConnectionChart::FromAxis(double key) { return key / kSecondsPerDay + kUnixEpochDay; }

ConnectionChart::ConnectionChart(const Locale& locale, QWidget* parent) : QCustomPlot(parent), locale_(locale) {
    setObjectName(QStringLiteral("Chart1"));
    setAccessibleName(QStringLiteral("Chart"));
    setCursor(Qt::CrossCursor);
    setBackground(Qt::white);
    setNoAntialiasingOnDrag(true);

    // Time across, labelled day and month with the user's date separator.
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd%1MM").arg(QLatin1Char(locale_.dateSeparator)));
    ticker->setDateTimeSpec(Qt::UTC);
    xAxis->setTicker(ticker);

    // Rows downward: 0 at the top, every row labelled in blue.
    auto rows = QSharedPointer<QCPAxisTickerFixed>::create();
    rows->setTickStep(1.0);
    rows->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    yAxis->setTicker(rows);
    yAxis->setRange(0, kRowCount - 1);
    yAxis->setRangeReversed(true);
    yAxis->setTickLabelColor(Qt::blue);
    QFont rowFont(QStringLiteral("Arial"));
    rowFont.setPixelSize(13);
    yAxis->setTickLabelFont(rowFont);
    yAxis->grid()->setVisible(false);
    xAxis2->setVisible(false);
    yAxis2->setVisible(false);

    connOk_ = MakeSeries(this, QStringLiteral("Connection"), Qt::red);
    connFailed_ = MakeSeries(this, QStringLiteral("Connection"), Qt::white);
    for (int k = 0; k < 16; ++k) alarms_[k] = MakeSeries(this, QString::fromStdString(AppAlarmStr(k, 8)), kAlarmColours[k]);

    // The legend stands at the left: "Connection" and the sixteen alarm names, packed at the top.
    legend->setVisible(true);
    connFailed_->removeFromLegend();
    QFont legendFont = font();
    legendFont.setPixelSize(10);
    legend->setFont(legendFont);
    for (int i = 0; i < legend->itemCount(); ++i) legend->item(i)->setFont(legendFont);
    legend->setRowSpacing(0);
    legend->setIconSize(12, 7);
    legend->setBorderPen(Qt::NoPen);
    legend->setMargins(QMargins(5, 2, 5, 2));
    auto* legendColumn = new QCPLayoutGrid;
    plotLayout()->insertColumn(0);
    plotLayout()->addElement(0, 0, legendColumn);
    plotLayout()->setColumnStretchFactor(0, 0.001);
    legendColumn->addElement(0, 0, legend);
    legendColumn->addElement(1, 0, new QCPLayoutElement(this));
    legendColumn->setRowStretchFactor(0, 0.001);
    legendColumn->setRowSpacing(0);

    // Drag sideways only.
    setInteractions(QCP::iRangeDrag);
    axisRect()->setRangeDrag(Qt::Horizontal);
    setMouseTracking(true);
}

void ConnectionChart::ClearChart() {
    for (int i = 0; i < graphCount(); ++i) graph(i)->data()->clear();
    site_ = nullptr;
}

void ConnectionChart::PlotAlarms(const TAlUnit* const* units, int count) {
    // Points are gathered per row first and handed over at once: adding them one by one would
    // insert into the middle of a row for every unit after the first.
    QVector<double> keys[16];
    for (int u = 0; u < count; ++u) {
        for (const TAlUnitAlarm& event : units[u]->Alarms().Items()) {
            for (int j = 1; j <= 16; ++j) {
                if (event.Bits & (1u << (j - 1))) keys[j - 1].append(ToAxis(event.Time));
            }
        }
    }
    for (int k = 0; k < 16; ++k) {
        if (keys[k].isEmpty()) continue;
        const QVector<double> values(keys[k].size(), static_cast<double>(k + 1));
        alarms_[k]->addData(keys[k], values);
    }
}

void ConnectionChart::PlotUnitAlarms(const TAlUnit& unit) {
    const TAlUnit* one = &unit;
    PlotAlarms(&one, 1);
}

void ConnectionChart::PlotSite(const TAlSite& site) {
    std::vector<const TAlUnit*> units;
    for (int i = 0; i < site.UnitCount(); ++i) units.push_back(site.UnitAt(i));
    PlotAlarms(units.data(), static_cast<int>(units.size()));
    QVector<double> okKeys, okValues, failedKeys, failedValues;
    for (const TAlConn& conn : site.Conns()) {
        if (conn.IsSuccessful()) {
            okKeys.append(ToAxis(conn.Time));
            okValues.append(0);
        } else {
            failedKeys.append(ToAxis(conn.Time));
            failedValues.append(0);
        }
    }
    connOk_->addData(okKeys, okValues, true);
    connFailed_->addData(failedKeys, failedValues, true);
    site_ = &site;
}

void ConnectionChart::SetTimeRange(TDateTime start, TDateTime end) {
    const double lower = ToAxis(0);
    xAxis->setRange(lower, std::max(lower, ToAxis(end)));
    if (start > end) {
        replot();
        throw Exception("Axis Minimum Value must be <= Maximum");
    }
    if (start == end) {
        // An empty period still shows its one moment, in the middle of a day's width.
        xAxis->setRange(ToAxis(start) - kSecondsPerDay / 2, ToAxis(start) + kSecondsPerDay / 2);
        return;
    }
    xAxis->setRange(ToAxis(start), ToAxis(end));
}

int ConnectionChart::AttemptAt(const QPointF& pos) const {
    if (!site_ || site_->ConnCount() == 0) return -1;
    const double rowPixel = yAxis->coordToPixel(0);
    if (std::abs(pos.y() - rowPixel) > kHitTolerance) return -1;
    // Attempts are in ascending time: look only at those within the tolerance sideways.
    TDateTime from = FromAxis(xAxis->pixelToCoord(pos.x() - kHitTolerance));
    TDateTime to = FromAxis(xAxis->pixelToCoord(pos.x() + kHitTolerance));
    if (from > to) std::swap(from, to);
    const auto& conns = site_->Conns();
    auto it = std::lower_bound(conns.begin(), conns.end(), from,
                               [](const TAlConn& c, TDateTime t) { return c.Time < t; });
    int best = -1;
    double bestDistance = kHitTolerance + 1;
    for (; it != conns.end() && !(it->Time > to); ++it) {
        const double distance = std::abs(xAxis->coordToPixel(ToAxis(it->Time)) - pos.x());
        if (distance <= bestDistance) {  // the later of equals is drawn on top
            bestDistance = distance;
            best = static_cast<int>(it - conns.begin());
        }
    }
    return best;
}

QString ConnectionChart::ReadoutAt(const QPointF& pos) const {
    const TDateTime x = FromAxis(xAxis->pixelToCoord(pos.x()));
    const double y = yAxis->pixelToCoord(pos.y());
    QString text = ShowText(locale_.FormatShortDate(x));
    const double row = std::floor(y + 0.5);
    if (row >= 1 && row <= 16) {
        text += QStringLiteral("  ") + QString::fromStdString(AppAlarmStr(static_cast<int>(row) - 1, 16));
    } else if (row == 0 && site_) {
        const int index = AttemptAt(pos);
        if (index >= 0 && index < site_->ConnCount()) {
            const StringList names = AppLinkErrStrList(site_->ConnAt(index).Status, 1);
            text += names.empty() ? QStringLiteral(" Connection") : QStringLiteral(" ") + ShowText(JoinCommaText(names));
        }
    }
    return text;
}

void ConnectionChart::mouseMoveEvent(QMouseEvent* event) {
    QCustomPlot::mouseMoveEvent(event);
    emit readoutChanged(ReadoutAt(event->position()));
}

void ConnectionChart::PrintTo(QPrinter& printer) {
    QCPPainter painter(&printer);
    if (!painter.isActive()) throw Exception("Printing could not start");
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    toPainter(&painter, page.width(), page.height());
}

}  // namespace kelvane
