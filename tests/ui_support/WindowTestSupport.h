#pragma once

// What the window tests share: fixture logs, a settings store of their own, finding the window's
// widgets by object name, and clicking a command's toolbar button as the user does.

#include <QAction>
#include <QDate>
#include <QDateEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "MainForm.h"

namespace kelvane::uitest {

inline QString Fixture(const char* name) { return QStringLiteral(KELVANE_FIXTURES "/") + QLatin1String(name); }

inline QDate Today() { return QDate::currentDate(); }

// Whole days from date back to today, the way the filter dates are stored.
inline QString DaysBeforeToday(const QDate& date) { return QString::number(date.daysTo(Today())); }

// A settings store of its own in a temporary folder, as a first run would find it.
struct TempSettings {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("kelvane.ini"));
    QSettings store{path, QSettings::IniFormat};

    QString File(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // Stores the date filter as the window saves it at exit.
    void StoreFilter(const QDate& start, const QDate& end, int days) {
        store.setValue(QStringLiteral("Filter/Start"), DaysBeforeToday(start));
        store.setValue(QStringLiteral("Filter/End"), DaysBeforeToday(end));
        store.setValue(QStringLiteral("Filter/Days"), QString::number(days));
        store.sync();
    }
};

template <class T>
T* Find(const QObject& owner, const char* name) {
    return owner.findChild<T*>(QLatin1String(name));
}

inline QDateEdit* StartEdit(const TForm1& form) { return Find<QDateEdit>(form, "dxFilterStart"); }
inline QDateEdit* EndEdit(const TForm1& form) { return Find<QDateEdit>(form, "dxFilterEnd"); }
inline QSpinBox* DaysSpin(const TForm1& form) { return Find<QSpinBox>(form, "dxViewDays"); }

// Clicks the toolbar button of a command, as the user does, so that a failure takes the
// application's own way to the error display.
inline void ClickToolButton(const TForm1& form, const char* actionName) {
    QAction* action = Find<QAction>(form, actionName);
    QVERIFY2(action, actionName);
    for (QToolBar* bar : form.findChildren<QToolBar*>()) {
        QWidget* button = bar->widgetForAction(action);
        if (button && button->isVisible()) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no visible toolbar button for %1").arg(QLatin1String(actionName))));
}

}  // namespace kelvane::uitest
