// The window under bad conditions: stored settings holding garbage, a settings file that cannot be
// written, and failures thrown from a command, a paint and a mouse move. Each time the window keeps
// what it had, shows failures in the standard error display, and goes on working. Every box is
// answered from the test while it is open, so no test can hang on one.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "KelvaneApplication.h"
#include "MainForm.h"
#include "WindowTestSupport.h"
#include "platform/Exception.h"

using kelvane::TForm1;
using namespace kelvane::uitest;

namespace {

const QDate kNov1(2006, 11, 1);
const QDate kNov30(2006, 11, 30);

// The rows of the tree as shown: each site row's five texts joined by " | ".
QStringList TreeTexts(const TForm1& form) {
    const QAbstractItemModel* model = form.Tree()->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < model->columnCount(); ++column)
            texts << model->index(row, column).data().toString();
        rows << texts.join(QStringLiteral(" | "));
    }
    rows.sort();
    return rows;
}

// What a message box showed when it was answered.
struct SeenBox {
    QString name;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers every dialog that opens, from inside its modal loop: the error display with OK, anything
// else is rejected and noted as unexpected. A box that does not close after a few answers is
// rejected, so nothing can hold a test for ever.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer() {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(10);
    }

    QList<SeenBox> boxes;    // the error displays answered, in order
    QStringList unexpected;  // other dialogs, and boxes that stayed open

private:
    void Poll() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(window);
            if (!dialog || !dialog->isVisible() || qobject_cast<QProgressDialog*>(dialog)) continue;
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box || box->objectName() != QStringLiteral("ErrorDisplay")) {
                unexpected << dialog->objectName();
                dialog->reject();
                return;
            }
            if (!tries_.contains(box)) {
                boxes << SeenBox{box->objectName(), box->text(), box->icon()};
                connect(box, &QDialog::finished, this, [this, box] { tries_.erase(box); });
            }
            if (++tries_[box] > 3) {
                unexpected << QStringLiteral("ErrorDisplay (stayed open)");
                box->reject();
            } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                QTest::mouseClick(ok, Qt::LeftButton);
            } else {
                box->reject();
            }
            return;
        }
    }

    QTimer timer_;
    std::map<QDialog*, int> tries_;
};

bool ShowAndActivate(TForm1& form) {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return false;
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form)) return false;
    QCoreApplication::processEvents();
    return true;
}

// The North and Alpha rows of ui_open_a.log over 1 to 30 November, and with Start moved past
// North's only connection.
const QStringList kLoadedRows{"Alpha | 2006-11-10 | none | 1 | 0.50", "North | 2006-11-10 | SE | 1 | 1.00"};
const QStringList kRowsFromThe20th{"Alpha | 2006-11-10 | none | 0 | 0.00",
                                   "North | 2006-11-10 | none | 0 | 0.00"};

// Chooses a command in a menu of the menu bar, as the user does with the mouse.
void ChooseInMenu(const TForm1& form, const char* menuName, const char* actionName) {
    auto* menu = Find<QMenu>(form, menuName);
    QAction* action = Find<QAction>(form, actionName);
    QVERIFY2(menu && action, actionName);
    menu->popup(form.mapToGlobal(QPoint(20, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    QTRY_VERIFY_WITH_TIMEOUT(!menu->isVisible(), 5000);
}

// The window still answers: Refresh, from the toolbar and from the View menu, applies a changed
// Start to the sites it shows, and the tree shows the result.
void ExpectWindowStillWorks(TForm1& form, BoxAnswerer& answerer) {
    QVERIFY(form.isVisible());
    QCOMPARE(TreeTexts(form), kLoadedRows);
    StartEdit(form)->setDate(QDate(2006, 11, 20));
    ClickToolButton(form, "dxRefresh");
    QCOMPARE(TreeTexts(form), kRowsFromThe20th);
    StartEdit(form)->setDate(kNov1);
    ChooseInMenu(form, "ViewMenu", "dxRefresh");
    QCOMPARE(TreeTexts(form), kLoadedRows);
    QVERIFY(answerer.unexpected.isEmpty());
}

// A widget that fails the first time it is painted.
class FailingPaint : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        if (paints++ == 0) throw kelvane::Exception("paint failed");
        QPainter painter(this);
        painter.fillRect(rect(), Qt::darkGreen);
    }
};

// A widget that fails on every mouse move over it.
class FailingMouseMove : public QWidget {
public:
    explicit FailingMouseMove(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }
    int moves = 0;

protected:
    void mouseMoveEvent(QMouseEvent*) override {
        ++moves;
        throw kelvane::Exception("move " + std::to_string(moves) + " failed");
    }
};

enum class Thrown { CoreError, CoreErrorLatin1, StdError, NotAnException };

}  // namespace

Q_DECLARE_METATYPE(Thrown)

class ResilienceTest : public QObject {
    Q_OBJECT

private slots:
    // Stored settings
    void garbageSettingsGiveTheirDefaults_data();
    void garbageSettingsGiveTheirDefaults();
    void unwritableSettingsFile();

    // Loads that cannot open their file
    void loadThatCannotOpenKeepsTheWindow_data();
    void loadThatCannotOpenKeepsTheWindow();

    // Failures inside event handlers
    void failingCommand_data();
    void failingCommand();
    void failingPaint();
    void failingMouseMove();
    void refreshKeyBeforeAndAfterAFailure();
};

// ---------------------------------------------------------------------------------------------
// Stored settings

void ResilienceTest::garbageSettingsGiveTheirDefaults_data() {
    QTest::addColumn<QStringList>("stored");  // Start, End, Days, MRU as stored
    QTest::addColumn<int>("startBefore");     // days before today shown in Start
    QTest::addColumn<int>("endBefore");
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("recent");
    QTest::addColumn<QStringList>("written");  // Start, End, Days, MRU stored at exit

    QTest::newRow("every value bad, the recent list's quote never closed")
        << QStringList{"x", "", "1e3", R"("/logs/a b.log,/logs/c.log)"} << 0 << 0 << 1
        << QStringList{"/logs/a b.log,/logs/c.log"}
        << QStringList{"0", "0", "1", R"("/logs/a b.log,/logs/c.log")"};
    QTest::newRow("good values beside bad ones") << QStringList{"12", "abc", "4", "/logs/a.log,/logs/b.log"}
                                                 << 12 << 0 << 4 << QStringList{"/logs/a.log", "/logs/b.log"}
                                                 << QStringList{"12", "0", "4", "/logs/a.log,/logs/b.log"};
    QTest::newRow("signs, hexadecimal and numbers beyond 32 bits")
        << QStringList{"+3", "0x10", "99999999999", R"(/logs/a.log,"/logs/b c.log)"} << 3 << 0 << 1
        << QStringList{"/logs/a.log", "/logs/b c.log"}
        << QStringList{"3", "0", "1", R"(/logs/a.log,"/logs/b c.log")"};
    QTest::newRow("numbers just beyond 32 bits, an empty recent list")
        << QStringList{"2147483648", "-2147483649", "1 2", ""} << 0 << 0 << 1 << QStringList{}
        << QStringList{"0", "0", "1", ""};
}

void ResilienceTest::garbageSettingsGiveTheirDefaults() {
    QFETCH(QStringList, stored);
    QFETCH(int, startBefore);
    QFETCH(int, endBefore);
    QFETCH(int, days);
    QFETCH(QStringList, recent);
    QFETCH(QStringList, written);

    const QStringList keys{"Filter/Start", "Filter/End", "Filter/Days", "Files/MRU"};
    TempSettings settings;
    for (int i = 0; i < keys.size(); ++i) settings.store.setValue(keys[i], stored[i]);
    // The window placement is garbage too: the layout's own placement applies.
    settings.store.setValue(QStringLiteral("Settings/TForm1/Geometry"), QStringLiteral("not a placement!"));
    settings.store.setValue(QStringLiteral("Settings/TForm1/State"), QStringLiteral("%%%"));
    settings.store.setValue(QStringLiteral("Settings/TForm1/Splitter"), QStringLiteral("AAAA"));
    settings.store.sync();
    QCOMPARE(settings.store.status(), QSettings::NoError);
    {
        // Lines that are no settings at all, after the values.
        QFile file(settings.path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n[Broken\nno equals sign here\n\x01\x02\xff\xfe junk\n=a value without a key\n");
    }

    QSettings store(settings.path, QSettings::IniFormat);
    for (int i = 0; i < keys.size(); ++i) QCOMPARE(store.value(keys[i]).toString(), stored[i]);
    auto form = std::make_unique<TForm1>(store);
    QCOMPARE(StartEdit(*form)->date(), Today().addDays(-startBefore));
    QCOMPARE(EndEdit(*form)->date(), Today().addDays(-endBefore));
    QCOMPARE(DaysSpin(*form)->value(), days);
    QCOMPARE(form->RecentFiles(), recent);
    QCOMPARE(form->geometry(), QRect(270, 196, 790, 605));
    form.reset();

    QSettings after(settings.path, QSettings::IniFormat);
    QStringList values;
    for (const QString& key : keys) values << after.value(key).toString();
    QCOMPARE(values, written);
}

void ResilienceTest::unwritableSettingsFile() {
    // A settings path inside a regular file can be neither created nor written, also by root.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a folder\n");
    }
    QSettings store(blocker + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    store.setValue(QStringLiteral("Filter/Start"), QString::number(kNov1.daysTo(Today())));
    store.setValue(QStringLiteral("Filter/End"), QString::number(kNov30.daysTo(Today())));
    store.setValue(QStringLiteral("Filter/Days"), QStringLiteral("0"));

    BoxAnswerer answerer;
    {
        TForm1 form(store);
        QVERIFY(ShowAndActivate(form));
        form.LoadLog(Fixture("ui_open_a.log"), false);
        form.AddRecentFile(Fixture("ui_open_a.log"));
        ExpectWindowStillWorks(form, answerer);
        form.close();
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(store.status(), QSettings::AccessError);
    QVERIFY(answerer.boxes.isEmpty());
    QVERIFY(answerer.unexpected.isEmpty());
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("not a folder\n"));
}

// ---------------------------------------------------------------------------------------------
// Loads that cannot open their file

void ResilienceTest::loadThatCannotOpenKeepsTheWindow_data() {
    QTest::addColumn<QString>("path");  // "<dir>" stands for a folder of the test
    QTest::addColumn<bool>("merge");

    for (const bool merge : {false, true}) {
        const char* mode = merge ? "add" : "open";
        QTest::addRow("%s a folder", mode) << "<dir>" << merge;
        QTest::addRow("%s /dev/zero", mode) << "/dev/zero" << merge;
        QTest::addRow("%s a missing file", mode) << "<dir>/missing.log" << merge;
        QTest::addRow("%s a file inside a file", mode) << Fixture("ui_open_a.log") + "/inside.log" << merge;
    }
}

void ResilienceTest::loadThatCannotOpenKeepsTheWindow() {
    QFETCH(QString, path);
    QFETCH(bool, merge);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    path.replace(QStringLiteral("<dir>"), settings.dir.path());
    TForm1 form(settings.store);
    QVERIFY(ShowAndActivate(form));
    form.LoadLog(Fixture("ui_open_a.log"), false);
    const kelvane::TAlSiteList* shown = form.SiteList();
    form.Tree()->setCurrentIndex(form.Tree()->model()->index(0, 0));

    BoxAnswerer answerer;
    // From the event loop, as a command runs it.
    QMetaObject::invokeMethod(
        &form, [&form, path, merge] { form.LoadLog(path, merge); }, Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 5000);
    QCOMPARE(answerer.boxes[0].text, QStringLiteral("Error opening file: ") + path);
    QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(form.SiteList(), shown);
    QVERIFY(form.SelectedSite);
    ExpectWindowStillWorks(form, answerer);
}

// ---------------------------------------------------------------------------------------------
// Failures inside event handlers

void ResilienceTest::failingCommand_data() {
    QTest::addColumn<Thrown>("thrown");
    QTest::addColumn<bool>("fromMenu");  // chosen in a menu, else by its shortcut key
    QTest::addColumn<QString>("shown");

    QTest::newRow("core error, shortcut") << Thrown::CoreError << false << "boom";
    QTest::newRow("core error, menu") << Thrown::CoreError << true << "boom";
    QTest::newRow("core error in Latin-1, shortcut") << Thrown::CoreErrorLatin1 << false << "caf\u00e9 boom";
    QTest::newRow("standard error, menu") << Thrown::StdError << true << "std boom";
    QTest::newRow("not an exception, shortcut") << Thrown::NotAnException << false << "";
}

void ResilienceTest::failingCommand() {
    QFETCH(Thrown, thrown);
    QFETCH(bool, fromMenu);
    QFETCH(QString, shown);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    QVERIFY(ShowAndActivate(form));
    form.LoadLog(Fixture("ui_open_a.log"), false);
    QCOMPARE(TreeTexts(form), kLoadedRows);

    auto* boom = new QAction(QStringLiteral("Boom"), &form);
    boom->setObjectName(QStringLiteral("Boom"));
    boom->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    form.addAction(boom);
    QMenu* menu = form.menuBar()->addMenu(QStringLiteral("&Trouble"));
    menu->setObjectName(QStringLiteral("TroubleMenu"));
    menu->addAction(boom);
    int runs = 0;
    connect(boom, &QAction::triggered, &form, [&] {
        ++runs;
        switch (thrown) {
            case Thrown::CoreError:
                throw kelvane::Exception("boom");
            case Thrown::CoreErrorLatin1:
                throw kelvane::Exception("caf\xe9 boom");
            case Thrown::StdError:
                throw std::runtime_error("std boom");
            case Thrown::NotAnException:
                throw 42;
        }
    });

    BoxAnswerer answerer;
    // Twice: the command fails again the same way and is shown again.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        if (fromMenu) {
            ChooseInMenu(form, "TroubleMenu", "Boom");
        } else {
            form.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            QTest::keyClick(&form, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
        }
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), attempt, 5000);
        QCOMPARE(runs, attempt);
        QCOMPARE(answerer.boxes.last().text, shown);
        QCOMPARE(answerer.boxes.last().icon, QMessageBox::Critical);
        QVERIFY(!menu->isVisible());
    }
    ExpectWindowStillWorks(form, answerer);
    QCOMPARE(answerer.boxes.size(), 2);
}

void ResilienceTest::failingPaint() {
    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    QVERIFY(ShowAndActivate(form));
    form.LoadLog(Fixture("ui_open_a.log"), false);

    BoxAnswerer answerer;
    auto* failing = new FailingPaint(&form);
    failing->setGeometry(20, 120, 60, 40);
    failing->show();
    failing->raise();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 5000);
    QCOMPARE(answerer.boxes[0].text, QStringLiteral("paint failed"));
    QCOMPARE(answerer.boxes[0].icon, QMessageBox::Critical);

    // Later paints succeed and show no further box.
    const int paints = failing->paints;
    failing->update();
    form.Tree()->viewport()->update();
    QTRY_VERIFY_WITH_TIMEOUT(failing->paints > paints, 5000);
    ExpectWindowStillWorks(form, answerer);
    QCOMPARE(answerer.boxes.size(), 1);
    QVERIFY(!form.grab().isNull());
}

void ResilienceTest::failingMouseMove() {
    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    QVERIFY(ShowAndActivate(form));
    form.LoadLog(Fixture("ui_open_a.log"), false);

    BoxAnswerer answerer;
    auto* failing = new FailingMouseMove(&form);
    failing->setGeometry(20, 120, 60, 40);
    failing->show();
    failing->raise();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (int move = 1; move <= 2; ++move) {
        QTest::mouseMove(failing, QPoint(10 + move * 10, 20));
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), move, 5000);
        QCOMPARE(answerer.boxes.last().text, QStringLiteral("move %1 failed").arg(move));
        QCOMPARE(answerer.boxes.last().icon, QMessageBox::Critical);
    }
    QCOMPARE(failing->moves, 2);
    // Moves elsewhere in the window are handled as before.
    QTest::mouseMove(form.Tree()->viewport(), QPoint(30, 10));
    QCoreApplication::processEvents();
    ExpectWindowStillWorks(form, answerer);
    QCOMPARE(answerer.boxes.size(), 2);
}

void ResilienceTest::refreshKeyBeforeAndAfterAFailure() {
    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    QVERIFY(ShowAndActivate(form));
    form.LoadLog(Fixture("ui_open_a.log"), false);
    BoxAnswerer answerer;
    auto* failing = new FailingMouseMove(&form);
    failing->setGeometry(20, 120, 60, 40);
    failing->show();

    // F5 refreshes as the toolbar button does, before a failure has been shown and after.
    const auto pressRefreshKey = [&](const QDate& start) {
        StartEdit(form)->setDate(start);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F5);
        QCoreApplication::processEvents();
    };
    pressRefreshKey(QDate(2006, 11, 20));
    QCOMPARE(TreeTexts(form), kRowsFromThe20th);
    QTest::mouseMove(failing, QPoint(10, 10));
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 5000);
    pressRefreshKey(kNov1);
    QCOMPARE(TreeTexts(form), kLoadedRows);
    QVERIFY(answerer.unexpected.isEmpty());
}

int main(int argc, char* argv[]) {
    // The fixture logs write their dates day/month/year, as the British short date does.
    qputenv("LC_ALL", "en_GB.UTF-8");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    kelvane::KelvaneApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    ResilienceTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_resilience.moc"
