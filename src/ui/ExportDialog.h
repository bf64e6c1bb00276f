#pragma once

#include <QDialog>
#include <QString>

#include "platform/Locale.h"
#include "reports/ReportBuilder.h"

class QCheckBox;
class QGridLayout;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace kelvane {

class TAlSiteList;

// What both report dialogs share: the text area, the common check boxes, the separator choice,
// and Export (build, save, copy) and Done.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog modally for a file and a site list; does nothing without a site list.
    void ShowExport(const QString& fileName, const TAlSiteList* sites);

    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* cbDates = nullptr;
    QCheckBox* cbHeaders = nullptr;
    QCheckBox* cbSites = nullptr;
    QCheckBox* cbConnStats = nullptr;
    QCheckBox* cbInactiveSites = nullptr;
    QRadioButton* rgSepComma = nullptr;
    QRadioButton* rgSepTab = nullptr;
    QPushButton* buttExport = nullptr;
    QPushButton* buttDone = nullptr;

    const QString& FileName() const { return fileName_; }

public slots:
    // Builds the report into the text area, saves it and copies it to the clipboard.
    void WriteReport();
    // Empties the text area and closes the dialog.
    void buttDoneClick();

protected:
    ExportDialog(const QString& name, const Locale& locale, QWidget* parent);

    // Adds a check box at the next place of the options grid.
    QCheckBox* AddCheckBox(const char* name, const QString& caption, bool ticked);
    // The options shared by both reports, as the check boxes stand.
    ReportOptions CommonOptions() const;
    // The report's lines for the site list, as the check boxes stand.
    virtual ReportLines BuildLines(const TAlSiteList& sites, TDateTime today) const = 0;
    const Locale& UserLocale() const { return locale_; }

    void keyPressEvent(QKeyEvent* event) override;

private:
    Locale locale_;
    QString fileName_;
    const TAlSiteList* sites_ = nullptr;
    QGridLayout* options_ = nullptr;
    int optionCount_ = 0;
};

}  // namespace kelvane
