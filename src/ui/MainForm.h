#pragma once

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

#include "model/AlarmSite.h"
#include "platform/Locale.h"

class QAction;
class QDateEdit;
class QLabel;
class QMenu;
class QSettings;
class QSpinBox;
class QFileDialog;
class QModelIndex;
class QPrinter;
class QSplitter;
class QTreeView;

namespace kelvane {

class ConnectionChart;
class SiteSortProxy;
class SiteTreeModel;
class TFExport;
class TFExport2;

// The main window: the site tree, the chart, the loading commands and the stored settings.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // settings is kept by the caller and outlives the window; startupFile is loaded on first activation.
    TForm1(QSettings& settings, QString startupFile = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Reads a log: a new list (merge false) or into the shown one; throws "Error opening file: ...".
    void LoadLog(const QString& path, bool merge);
    // Applies Start, End plus one day and Days to the site list.
    void ApplyFilterToSites();
    // Remakes every tree row from the site list.
    void RebuildTree();
    // Sets the Start, End and Days controls from the stored filter.
    void ReadFilterSettings();
    // Stores the Start, End and Days controls relative to today.
    void WriteFilterSettings();
    // Moves or inserts path at the top of the recent files, keeping at most five.
    void AddRecentFile(const QString& path);

    TAlSiteList* SiteList() const { return siteList_.get(); }
    const QStringList& RecentFiles() const { return recentFiles_; }
    const Locale& UserLocale() const { return locale_; }
    QTreeView* Tree() const { return tl_; }
    SiteTreeModel* TreeModel() const { return model_; }
    ConnectionChart* Chart() const { return chart_; }
    TFExport* FExport() const { return fexport_; }
    TFExport2* FExport2() const { return fexport2_; }
    QFileDialog* SaveDialog() const { return saveDialog_; }
    QString StatusText() const;
    // Draws the chart on a printer's page (what "Print..." does once the printer is chosen).
    void PrintChart(QPrinter& printer);

    TAlSite* SelectedSite = nullptr;
    TAlUnit* SelectedUnit = nullptr;

public slots:
    void dxFileOpenClick();
    void dxFileAddClick();
    void dxRefreshClick();
    void dxExpandAllClick();
    void dxFileExitClick();
    void dxMRUClick(const QString& path);
    void dxExportClick();
    void FileExport2Click();
    void dxBarPrintClick();
    void SaveChartAsClick();
    // Shows the focused row's site or unit in the chart.
    void tlChangeNode(const QModelIndex& current);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildMenusAndBars();
    void UpdateRecentMenu();
    void ChooseAndLoad(bool merge);
    void FormActivate();
    void SaveWindowState();
    void RestoreWindowState();
    void SetStatusText(const QString& text);
    bool ParserPrompt(const std::string& caption, const std::string& text);
    bool ChooseReportFile(QString& fileName);

    QSettings& settings_;
    QString startupFile_;
    bool firstActivation_ = true;
    Locale locale_;
    std::unique_ptr<TAlSiteList> siteList_;
    QStringList recentFiles_;

    QTreeView* tl_ = nullptr;
    SiteTreeModel* model_ = nullptr;
    SiteSortProxy* proxy_ = nullptr;
    ConnectionChart* chart_ = nullptr;
    TFExport2* fexport2_ = nullptr;
    TFExport* fexport_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
    QAction* saveChartAs_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QLabel* statusText_ = nullptr;
    QDateEdit* filterStart_ = nullptr;
    QDateEdit* filterEnd_ = nullptr;
    QSpinBox* viewDays_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;  // recent entries are inserted before this
    QList<QAction*> recentActions_;

    QAction* dxFileOpen_ = nullptr;
    QAction* dxFileAdd_ = nullptr;
    QAction* dxExport_ = nullptr;
    QAction* FileExport2_ = nullptr;
    QAction* dxBarPrint_ = nullptr;
    QAction* dxFileExit_ = nullptr;
    QAction* dxExpandAll_ = nullptr;
    QAction* dxRefresh_ = nullptr;
    QAction* startAction_ = nullptr;
    QAction* endAction_ = nullptr;
    QAction* daysAction_ = nullptr;
};

}  // namespace kelvane
