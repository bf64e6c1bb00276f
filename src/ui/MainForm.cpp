#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>

#include "AppSettings.h"
#include "ConnectionChart.h"
#include "ExportForm.h"
#include "ExportForm2.h"
#include "QtLocale.h"
#include "SiteTreeModel.h"
#include "UiText.h"
#include "log/BrelLogParser.h"
#include "model/SiteTree.h"
#include "platform/Exception.h"

namespace kelvane {

namespace {

const QDate kDayZero(1899, 12, 30);

QDate ToQDate(TDateTime value) { return kDayZero.addDays(static_cast<qint64>(std::trunc(value))); }

TDateTime FromQDate(const QDate& date) { return static_cast<TDateTime>(kDayZero.daysTo(date)); }

// Recent-file paths compare as the platform's file system compares them.
constexpr Qt::CaseSensitivity kPathCase =
#ifdef Q_OS_WIN
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

QAction* MakeAction(QObject* owner, const char* name, const QString& caption, const QString& hint) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(hint);
    action->setStatusTip(QString());
    return action;
}

}  // namespace

TForm1::TForm1(QSettings& settings, QString startupFile, QWidget* parent)
    : QMainWindow(parent), settings_(settings), startupFile_(std::move(startupFile)),
      locale_(LocaleFromQLocale(QLocale::system())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kelvane " KELVANE_VERSION));
    setGeometry(270, 196, 790, 605);

    // Tree above, chart below, split by the user.
    model_ = new SiteTreeModel(this);
    proxy_ = new SiteSortProxy(this);
    proxy_->setSourceModel(model_);
    tl_ = new QTreeView;
    tl_->setObjectName(QStringLiteral("tl"));
    tl_->setAccessibleName(QStringLiteral("Sites"));
    tl_->setModel(proxy_);
    tl_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tl_->setSelectionMode(QAbstractItemView::SingleSelection);
    tl_->setUniformRowHeights(true);
    tl_->setAllColumnsShowFocus(true);
    tl_->setSortingEnabled(true);
    tl_->sortByColumn(SiteTreeModel::Alarms, Qt::DescendingOrder);
    tl_->header()->setSectionsMovable(true);
    tl_->header()->setStretchLastSection(false);

    chart_ = new ConnectionChart(locale_);
    chart_->setMinimumHeight(120);
    connect(chart_, &ConnectionChart::readoutChanged, this, &TForm1::SetStatusText);
    connect(tl_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { tlChangeNode(current); });

    splitter_ = new QSplitter(Qt::Vertical);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setHandleWidth(5);
    splitter_->addWidget(tl_);
    splitter_->addWidget(chart_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setSizes({355, 250});
    setCentralWidget(splitter_);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusText_ = new QLabel;
    statusText_->setObjectName(QStringLiteral("StatusText"));
    statusBar()->addWidget(statusText_, 1);

    BuildActions();
    BuildMenusAndBars();

    // The report dialogs live as long as the window, and keep their options between showings.
    fexport2_ = new TFExport2(locale_, this);
    fexport_ = new TFExport(locale_, this);
    saveDialog_ = new QFileDialog(this);
    saveDialog_->setObjectName(QStringLiteral("SaveDialog1"));
    saveDialog_->setAcceptMode(QFileDialog::AcceptSave);
    saveDialog_->setFileMode(QFileDialog::AnyFile);
    saveDialog_->setOption(QFileDialog::DontConfirmOverwrite, true);

    recentFiles_ = kelvane::ReadRecentFiles(settings_);
    while (recentFiles_.size() > settings::kMaxRecentFiles) recentFiles_.removeLast();
    UpdateRecentMenu();
    ReadFilterSettings();
    RestoreWindowState();
}

TForm1::~TForm1() {
    WriteRecentFiles(settings_, recentFiles_);
    WriteFilterSettings();
    SaveWindowState();
    settings_.sync();
}

void TForm1::BuildActions() {
    dxFileOpen_ = MakeAction(this, "dxFileOpen", QStringLiteral("&Open..."), QStringLiteral("Open"));
    dxFileOpen_->setShortcut(QKeySequence::Open);
    connect(dxFileOpen_, &QAction::triggered, this, &TForm1::dxFileOpenClick);

    dxFileAdd_ = MakeAction(this, "dxFileAdd", QStringLiteral("&Add..."), QStringLiteral("Add"));
    connect(dxFileAdd_, &QAction::triggered, this, &TForm1::dxFileAddClick);

    dxExport_ = MakeAction(this, "dxExport", QStringLiteral("Export"), QStringLiteral("Export"));
    connect(dxExport_, &QAction::triggered, this, &TForm1::dxExportClick);
    FileExport2_ = MakeAction(this, "FileExport2", QStringLiteral("Export2"), QStringLiteral("Export2"));
    connect(FileExport2_, &QAction::triggered, this, &TForm1::FileExport2Click);
    dxBarPrint_ = MakeAction(this, "dxBarPrint", QStringLiteral("Print..."), QStringLiteral("Print"));
    dxBarPrint_->setShortcut(QKeySequence::Print);
    connect(dxBarPrint_, &QAction::triggered, this, &TForm1::dxBarPrintClick);
    saveChartAs_ = MakeAction(this, "SaveChartAs", QStringLiteral("Save C&hart As..."), QStringLiteral("Save the chart as a PNG image or a PDF file"));
    connect(saveChartAs_, &QAction::triggered, this, &TForm1::SaveChartAsClick);

    dxFileExit_ = MakeAction(this, "dxFileExit", QStringLiteral("Exit"), QStringLiteral("Exit"));
    dxFileExit_->setShortcut(QKeySequence::Quit);
    connect(dxFileExit_, &QAction::triggered, this, &TForm1::dxFileExitClick);

    dxExpandAll_ = MakeAction(this, "dxExpandAll", QStringLiteral("Expand/&Collapse"), QStringLiteral("Expand/Collapse"));
    connect(dxExpandAll_, &QAction::triggered, this, &TForm1::dxExpandAllClick);

    dxRefresh_ = MakeAction(this, "dxRefresh", QStringLiteral("&Refresh"), QStringLiteral("Refresh"));
    // F5 everywhere, besides the platform's own Refresh key where that is another one.
    QList<QKeySequence> refreshKeys = QKeySequence::keyBindings(QKeySequence::Refresh);
    if (!refreshKeys.contains(QKeySequence(Qt::Key_F5))) refreshKeys.append(QKeySequence(Qt::Key_F5));
    dxRefresh_->setShortcuts(refreshKeys);
    connect(dxRefresh_, &QAction::triggered, this, &TForm1::dxRefreshClick);

    for (QAction* action : {dxFileOpen_, dxFileAdd_, dxExport_, FileExport2_, dxBarPrint_, dxFileExit_, dxExpandAll_, dxRefresh_}) {
        action->setWhatsThis(action->toolTip());
        addAction(action);  // shortcuts work whichever bar is hidden
    }
}

void TForm1::BuildMenusAndBars() {
    // Filter controls: they take effect at the next load or Refresh.
    filterStart_ = new QDateEdit;
    filterStart_->setObjectName(QStringLiteral("dxFilterStart"));
    filterStart_->setAccessibleName(QStringLiteral("Start"));
    filterStart_->setToolTip(QStringLiteral("Filter Start Date"));
    filterStart_->setCalendarPopup(true);
    filterStart_->setMinimumWidth(100);
    filterEnd_ = new QDateEdit;
    filterEnd_->setObjectName(QStringLiteral("dxFilterEnd"));
    filterEnd_->setAccessibleName(QStringLiteral("End"));
    filterEnd_->setToolTip(QStringLiteral("End"));
    filterEnd_->setCalendarPopup(true);
    filterEnd_->setMinimumWidth(100);
    for (QDateEdit* edit : {filterStart_, filterEnd_}) {
        edit->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
        edit->setMinimumDate(QDate(100, 1, 1));
    }
    viewDays_ = new QSpinBox;
    viewDays_->setObjectName(QStringLiteral("dxViewDays"));
    viewDays_->setAccessibleName(QStringLiteral("Days"));
    viewDays_->setToolTip(QStringLiteral("Days"));
    viewDays_->setRange(0, 2000);
    viewDays_->setMinimumWidth(51);

    auto* fileBar = addToolBar(QStringLiteral("FileOpsBar"));
    fileBar->setObjectName(QStringLiteral("FileOpsBar"));
    fileBar->addAction(dxFileOpen_);
    fileBar->addAction(dxFileAdd_);
    fileBar->addAction(dxBarPrint_);

    auto* viewBar = addToolBar(QStringLiteral("ViewBar"));
    viewBar->setObjectName(QStringLiteral("ViewBar"));
    viewBar->addAction(dxExpandAll_);
    const auto addLabelled = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption);
        label->setBuddy(field);
        label->setContentsMargins(6, 0, 3, 0);
        viewBar->addWidget(label);
        viewBar->addWidget(field);
    };
    addLabelled(QStringLiteral("&Start"), filterStart_);
    addLabelled(QStringLiteral("&End"), filterEnd_);
    addLabelled(QStringLiteral("&Days"), viewDays_);
    viewBar->addAction(dxRefresh_);

    auto* exitBar = addToolBar(QStringLiteral("ExitBar"));
    exitBar->setObjectName(QStringLiteral("ExitBar"));
    exitBar->addAction(dxFileExit_);

    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("FileMenu"));
    fileMenu_->addAction(dxFileOpen_);
    fileMenu_->addAction(dxFileAdd_);
    recentAnchor_ = fileMenu_->addSeparator();
    recentAnchor_->setObjectName(QStringLiteral("dxMRU"));
    fileMenu_->addAction(dxExport_);
    fileMenu_->addAction(FileExport2_);
    fileMenu_->addAction(dxBarPrint_);
    fileMenu_->addAction(saveChartAs_);
    fileMenu_->addSeparator();
    fileMenu_->addAction(dxFileExit_);

    auto* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->setObjectName(QStringLiteral("ViewMenu"));
    viewMenu->addAction(dxExpandAll_);
    viewMenu->addSeparator();
    // The menu's Start, End and Days entries lead to the fields on the bar.
    startAction_ = viewMenu->addAction(QStringLiteral("&Start"), this, [this] { filterStart_->setFocus(); });
    startAction_->setObjectName(QStringLiteral("dxFilterStartItem"));
    startAction_->setToolTip(QStringLiteral("Filter Start Date"));
    endAction_ = viewMenu->addAction(QStringLiteral("&End"), this, [this] { filterEnd_->setFocus(); });
    endAction_->setObjectName(QStringLiteral("dxFilterEndItem"));
    endAction_->setToolTip(QStringLiteral("End"));
    daysAction_ = viewMenu->addAction(QStringLiteral("&Days"), this, [this] { viewDays_->setFocus(); });
    daysAction_->setObjectName(QStringLiteral("dxViewDaysItem"));
    daysAction_->setToolTip(QStringLiteral("Days"));
    viewMenu->addAction(dxRefresh_);
    for (QMenu* menu : {fileMenu_, viewMenu}) menu->setToolTipsVisible(true);
}

void TForm1::UpdateRecentMenu() {
    for (QAction* action : recentActions_) {
        fileMenu_->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    for (int i = 0; i < recentFiles_.size(); ++i) {
        const QString path = recentFiles_.at(i);
        QString shown = path;
        if (shown.size() > 60) shown = QStringLiteral("...") + shown.right(57);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), fileMenu_);
        action->setObjectName(QStringLiteral("dxMRU%1").arg(i));
        action->setData(path);
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { dxMRUClick(path); });
        fileMenu_->insertAction(recentAnchor_, action);
        recentActions_.append(action);
    }
    recentAnchor_->setVisible(!recentFiles_.isEmpty());
}

void TForm1::AddRecentFile(const QString& path) {
    for (int i = 0; i < recentFiles_.size(); ++i) {
        if (recentFiles_.at(i).compare(path, kPathCase) == 0) {
            recentFiles_.move(i, 0);
            UpdateRecentMenu();
            return;
        }
    }
    recentFiles_.prepend(path);
    while (recentFiles_.size() > settings::kMaxRecentFiles) recentFiles_.removeLast();
    UpdateRecentMenu();
}

void TForm1::ReadFilterSettings() {
    const FilterValues values = kelvane::ReadFilterSettings(settings_, Today());
    filterStart_->setDate(ToQDate(values.start));
    filterEnd_->setDate(ToQDate(values.end));
    viewDays_->setValue(values.days);
}

void TForm1::WriteFilterSettings() {
    FilterValues values;
    values.start = FromQDate(filterStart_->date());
    values.end = FromQDate(filterEnd_->date());
    values.days = viewDays_->value();
    kelvane::WriteFilterSettings(settings_, values, Today());
}

void TForm1::SaveWindowState() {
    settings_.beginGroup(QString::fromLatin1(settings::kWindowGroup));
    settings_.setValue(QStringLiteral("Geometry"), QString::fromLatin1(saveGeometry().toBase64()));
    settings_.setValue(QStringLiteral("State"), QString::fromLatin1(saveState().toBase64()));
    settings_.setValue(QStringLiteral("Splitter"), QString::fromLatin1(splitter_->saveState().toBase64()));
    settings_.endGroup();
}

void TForm1::RestoreWindowState() {
    settings_.beginGroup(QString::fromLatin1(settings::kWindowGroup));
    const QByteArray geometry = QByteArray::fromBase64(settings_.value(QStringLiteral("Geometry")).toString().toLatin1());
    const QByteArray state = QByteArray::fromBase64(settings_.value(QStringLiteral("State")).toString().toLatin1());
    const QByteArray split = QByteArray::fromBase64(settings_.value(QStringLiteral("Splitter")).toString().toLatin1());
    settings_.endGroup();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    if (!state.isEmpty()) restoreState(state);
    if (!split.isEmpty()) splitter_->restoreState(split);
}

void TForm1::closeEvent(QCloseEvent* event) {
    SaveWindowState();
    QMainWindow::closeEvent(event);
}

bool TForm1::event(QEvent* e) {
    const bool result = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate) {
        FormActivate();
    } else if (e->type() == QEvent::Show && firstActivation_) {
        // Without a window manager the window is never activated; the first showing stands in for it.
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
    return result;
}

void TForm1::FormActivate() {
    if (!firstActivation_) return;
    firstActivation_ = false;
    if (!startupFile_.isEmpty() && QFileInfo(startupFile_).isFile()) LoadLog(startupFile_, false);
}

void TForm1::SetStatusText(const QString& text) { statusText_->setText(text); }

QString TForm1::StatusText() const { return statusText_->text(); }

void TForm1::tlChangeNode(const QModelIndex& current) {
    chart_->ClearChart();
    auto* site = static_cast<TAlSite*>(current.data(SiteTreeModel::SiteRole).value<void*>());
    auto* unit = static_cast<TAlUnit*>(current.data(SiteTreeModel::UnitRole).value<void*>());
    SelectedSite = nullptr;
    SelectedUnit = nullptr;
    if (unit) {
        SetStatusText(QString::number(unit->Number));
        chart_->PlotUnitAlarms(*unit);
        SelectedUnit = unit;
    } else if (site) {
        SetStatusText(ShowText(site->Name));
        chart_->PlotSite(*site);
        SelectedSite = site;
    }
    if (!current.isValid() || !siteList_) {
        chart_->replot();
        return;
    }
    chart_->SetTimeRange(siteList_->FilterStart, siteList_->FilterEnd);
    chart_->replot();
}

bool TForm1::ChooseReportFile(QString& fileName) {
    if (saveDialog_->exec() != QDialog::Accepted || saveDialog_->selectedFiles().isEmpty()) return false;
    fileName = saveDialog_->selectedFiles().first();
    saveDialog_->selectFile(fileName);  // the next report starts from this name
    return true;
}

void TForm1::dxExportClick() {
    QString fileName;
    if (ChooseReportFile(fileName)) fexport_->ShowExport(fileName, siteList_.get());
}

void TForm1::FileExport2Click() {
    QString fileName;
    if (ChooseReportFile(fileName)) fexport2_->ShowExport(fileName, siteList_.get());
}

void TForm1::PrintChart(QPrinter& printer) { chart_->PrintTo(printer); }

void TForm1::dxBarPrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    if (dialog.exec() != QDialog::Accepted) return;
    PrintChart(printer);
}

void TForm1::SaveChartAsClick() {
    QFileDialog dialog(this, QStringLiteral("Save Chart As"));
    dialog.setObjectName(QStringLiteral("SaveChartDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("PNG image (*.png)"), QStringLiteral("PDF document (*.pdf)")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    const bool pdf = path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
    const bool saved = pdf ? chart_->savePdf(path) : chart_->savePng(path);
    if (!saved) throw Exception("Cannot create file " + path.toStdString());
}

bool TForm1::ParserPrompt(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, ShowText(caption), ShowText(text), QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("ParserPrompt"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Ok;
}

void TForm1::LoadLog(const QString& path, bool merge) {
    QProgressDialog progress(QStringLiteral("Reading %1...").arg(QFileInfo(path).fileName()), QString(), 0, 1000, this);
    progress.setObjectName(QStringLiteral("LoadProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);

    TBrelLogParser parser(locale_, [this](const std::string& caption, const std::string& text) {
        return ParserPrompt(caption, text);
    });
    parser.SetProgress([&progress](std::uint64_t done, std::uint64_t total) {
        if (total > 0) progress.setValue(static_cast<int>(std::min<std::uint64_t>(1000, done * 1000 / total)));
    });

    // A replacing load fills a new list and shows it only once the file could be read.
    std::unique_ptr<TAlSiteList> fresh;
    TAlSiteList* target = siteList_.get();
    if (!merge || !target) {
        fresh = std::make_unique<TAlSiteList>();
        target = fresh.get();
    }
    const std::string file = PathBytes(path);
    try {
        parser.ParseFile(file, *target);
    } catch (const FileOpenError&) {
        throw FileOpenError("Error opening file: " + path.toStdString());
    } catch (const Exception&) {
        // Failed part way: what was read into the shown list stays shown.
        if (!fresh) {
            ApplyFilterToSites();
            RebuildTree();
        }
        throw;
    }
    progress.close();
    if (fresh) {
        // Nothing may keep pointing into the list about to go.
        SelectedSite = nullptr;
        SelectedUnit = nullptr;
        model_->Clear();
        chart_->ClearChart();
        chart_->replot();
        siteList_ = std::move(fresh);
    }
    ReadFilterSettings();
    ApplyFilterToSites();
    RebuildTree();
}

void TForm1::ApplyFilterToSites() {
    if (!siteList_) return;
    siteList_->SetFilter(FromQDate(filterStart_->date()), FromQDate(filterEnd_->date()) + 1, viewDays_->value());
}

void TForm1::RebuildTree() {
    if (!siteList_) {
        model_->Clear();
        return;
    }
    model_->SetRows(BuildTreeRows(*siteList_, locale_));
    tl_->header()->resizeSections(QHeaderView::ResizeToContents);
}

void TForm1::ChooseAndLoad(bool merge) {
    QFileDialog dialog(this, merge ? QStringLiteral("Add") : QStringLiteral("Open"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!recentFiles_.isEmpty()) dialog.setDirectory(QFileInfo(recentFiles_.first()).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    LoadLog(path, merge);
    AddRecentFile(path);
}

void TForm1::dxFileOpenClick() { ChooseAndLoad(false); }

void TForm1::dxFileAddClick() { ChooseAndLoad(true); }

void TForm1::dxRefreshClick() {
    ApplyFilterToSites();
    RebuildTree();
}

void TForm1::dxExpandAllClick() {
    const int total = proxy_->rowCount();
    int expanded = 0;
    for (int i = 0; i < total; ++i) {
        if (tl_->isExpanded(proxy_->index(i, 0))) ++expanded;
    }
    if (expanded > total / 2) {
        tl_->collapseAll();
    } else {
        tl_->expandAll();
    }
}

void TForm1::dxFileExitClick() { close(); }

void TForm1::dxMRUClick(const QString& path) {
    if (QFileInfo(path).isFile()) {
        LoadLog(path, true);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Open"), path + QStringLiteral("\r\nFile not found"),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("FileNotFound"));
    box.exec();
}

}  // namespace kelvane
