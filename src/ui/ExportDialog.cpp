#include "ExportDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "UiText.h"
#include "reports/ReportWriter.h"

namespace kelvane {

ExportDialog::ExportDialog(const QString& name, const Locale& locale, QWidget* parent)
    : QDialog(parent), locale_(locale) {
    setObjectName(name);
    setWindowTitle(name);
    setModal(true);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Report"));
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setMinimumSize(520, 220);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    Memo1->setFont(mono);

    auto* optionsBox = new QWidget;
    options_ = new QGridLayout(optionsBox);
    options_->setContentsMargins(0, 0, 0, 0);
    cbDates = AddCheckBox("cbDates", QStringLiteral("Filter Dates"), true);
    cbHeaders = AddCheckBox("cbHeaders", QStringLiteral("Column Headings"), true);
    cbSites = AddCheckBox("cbSites", QStringLiteral("Sites"), true);

    auto* rgSep = new QGroupBox(QStringLiteral("Field Separator"));
    rgSep->setObjectName(QStringLiteral("rgSep"));
    rgSepComma = new QRadioButton(QStringLiteral("Comma"));
    rgSepComma->setObjectName(QStringLiteral("rgSepComma"));
    rgSepComma->setChecked(true);
    rgSepTab = new QRadioButton(QStringLiteral("Tab"));
    rgSepTab->setObjectName(QStringLiteral("rgSepTab"));
    auto* sepLayout = new QVBoxLayout(rgSep);
    sepLayout->addWidget(rgSepComma);
    sepLayout->addWidget(rgSepTab);

    buttExport = new QPushButton(QStringLiteral("Export"));
    buttExport->setObjectName(QStringLiteral("buttExport"));
    buttExport->setDefault(true);
    buttExport->setAutoDefault(true);
    buttDone = new QPushButton(QStringLiteral("Done"));
    buttDone->setObjectName(QStringLiteral("buttDone"));
    buttDone->setAutoDefault(false);
    connect(buttExport, &QPushButton::clicked, this, &ExportDialog::WriteReport);
    connect(buttDone, &QPushButton::clicked, this, &ExportDialog::buttDoneClick);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(buttExport);
    buttons->addWidget(buttDone);
    buttons->addStretch(1);

    auto* lower = new QHBoxLayout;
    lower->addWidget(optionsBox, 1);
    lower->addWidget(rgSep);
    lower->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(lower);
}

QCheckBox* ExportDialog::AddCheckBox(const char* name, const QString& caption, bool ticked) {
    auto* box = new QCheckBox(caption);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(ticked);
    options_->addWidget(box, optionCount_ % 4, optionCount_ / 4);
    ++optionCount_;
    return box;
}

ReportOptions ExportDialog::CommonOptions() const {
    ReportOptions options;
    options.filterDates = cbDates->isChecked();
    options.columnHeadings = cbHeaders->isChecked();
    options.sites = cbSites->isChecked();
    options.connStats = cbConnStats->isChecked();
    options.inactiveSites = cbInactiveSites->isChecked();
    // Comma unless Tab is chosen, also when neither is.
    options.separator = rgSepTab->isChecked() ? FieldSeparator::Tab : FieldSeparator::Comma;
    return options;
}

void ExportDialog::ShowExport(const QString& fileName, const TAlSiteList* sites) {
    if (!sites) return;
    sites_ = sites;
    fileName_ = fileName;
    Memo1->clear();
    exec();
}

void ExportDialog::WriteReport() {
    Memo1->clear();
    if (!sites_) return;
    const ReportLines lines = BuildLines(*sites_, Today());
    QString shown;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) shown += QLatin1Char('\n');
        shown += ShowText(lines[i]);
    }
    Memo1->setPlainText(shown);

    // A failed save leaves the report on show and the clipboard as it was.
    const std::string bytes = ReportFileBytes(lines);
    ReportWriter().Save(PathBytes(fileName_), bytes);

    Memo1->selectAll();
    QApplication::clipboard()->setText(ShowText(bytes));
}

void ExportDialog::buttDoneClick() {
    Memo1->clear();
    accept();
}

void ExportDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        buttDoneClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kelvane
