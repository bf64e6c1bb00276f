#pragma once

#include <QString>

#include <qcustomplot.h>

#include "model/AlarmSite.h"
#include "platform/Locale.h"

class QPrinter;

namespace kelvane {

// The time chart of one site's connection attempts (row 0) and its units' alarm events (rows 1-16).
class ConnectionChart : public QCustomPlot {
    Q_OBJECT
public:
    static constexpr int kRowCount = 18;  // rows 0 to 17 on the vertical axis

    explicit ConnectionChart(const Locale& locale, QWidget* parent = nullptr);

    // Removes every point of every series.
    void ClearChart();
    // Plots every attempt of the site and every alarm event of its units.
    void PlotSite(const TAlSite& site);
    // Plots the alarm events of one unit.
    void PlotUnitAlarms(const TAlUnit& unit);
    // Sets the time axis to a period; throws "Axis Minimum Value must be <= Maximum" when it is
    // reversed, leaving the axis from 0 to the end.
    void SetTimeRange(TDateTime start, TDateTime end);
    // The site whose attempts are plotted, or null.
    const TAlSite* PlottedSite() const { return site_; }

    // The readout for a point of the widget: the date, then the alarm of the row or the attempt's errors.
    QString ReadoutAt(const QPointF& pos) const;
    // The index of the attempt whose marker lies under the point, or -1.
    int AttemptAt(const QPointF& pos) const;

    // Draws the whole chart stretched over the printer's page, as on the screen.
    void PrintTo(QPrinter& printer);

    // Chart time of a value (seconds, as the axis counts) and back.
    static double ToAxis(TDateTime value);
    static TDateTime FromAxis(double key);

    QCPGraph* ConnectionSeries() const { return connOk_; }
    QCPGraph* FailedSeries() const { return connFailed_; }
    QCPGraph* AlarmSeries(int code) const { return alarms_[code]; }

signals:
    // The readout changed as the mouse moved.
    void readoutChanged(const QString& text);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Adds the alarm events of the units to the alarm rows.
    void PlotAlarms(const TAlUnit* const* units, int count);

    Locale locale_;
    const TAlSite* site_ = nullptr;
    QCPGraph* connOk_ = nullptr;
    QCPGraph* connFailed_ = nullptr;
    QCPGraph* alarms_[16] = {};
};

}  // namespace kelvane
