// Widget tests of the main window: stored settings, recent files, the loading commands, the site
// tree's texts, colours and order, Refresh and Expand/Collapse. The window runs on the offscreen
// platform; modal boxes and the file dialog are answered from the test while they are open.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include "KelvaneApplication.h"
#include "MainForm.h"
#include "WindowTestSupport.h"

using kelvane::TForm1;
using namespace kelvane::uitest;

namespace {

const QDate kNov1(2006, 11, 1);
const QDate kNov30(2006, 11, 30);

// Runs an action from the event loop, as a menu or a shortcut does, so that a failure reaches the
// application's error display instead of the test.
void TriggerFromEventLoop(QAction* action) {
    QMetaObject::invokeMethod(
        action, [action] { action->trigger(); }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
}

void Trigger(const TForm1& form, const char* actionName) {
    QAction* action = Find<QAction>(form, actionName);
    QVERIFY2(action, actionName);
    TriggerFromEventLoop(action);
}

bool ShowAndWait(TForm1& form) {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return false;
    QCoreApplication::processEvents();
    return true;
}

// Texts of the five columns of a tree row as displayed.
QStringList RowTexts(const QModelIndex& row) {
    QStringList texts;
    for (int column = 0; column < row.model()->columnCount(row.parent()); ++column) {
        texts << row.siblingAtColumn(column).data().toString();
    }
    return texts;
}

// Texts of one column over the site rows, in the order shown.
QStringList SiteColumn(const TForm1& form, int column) {
    const QAbstractItemModel* model = form.Tree()->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row) texts << model->index(row, column).data().toString();
    return texts;
}

QStringList SiteNames(const TForm1& form) { return SiteColumn(form, 0); }

QModelIndex SiteRow(const TForm1& form, const QString& name) {
    const QAbstractItemModel* model = form.Tree()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data().toString() == name) return index;
    }
    return {};
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

// The recent-file entry of the File menu at a position, or null.
QAction* RecentEntry(const TForm1& form, int position) {
    // Entries replaced by a newer list may linger until deleted; only those in a menu count.
    for (QAction* action : form.findChildren<QAction*>(QStringLiteral("dxMRU%1").arg(position))) {
        if (!action->associatedObjects().isEmpty()) return action;
    }
    return nullptr;
}

// The recent-file paths as the File menu offers them, in order.
QStringList RecentMenuPaths(const TForm1& form) {
    QStringList paths;
    for (int i = 0; const QAction* action = RecentEntry(form, i); ++i) paths << action->data().toString();
    return paths;
}

bool IsGrey(const QModelIndex& cell) {
    const QVariant colour = cell.data(Qt::ForegroundRole);
    return colour.isValid() && colour.value<QColor>() == QColor(128, 128, 128);
}

bool IsItalicOnly(const QModelIndex& cell) {
    const QVariant font = cell.data(Qt::FontRole);
    if (!font.isValid()) return false;
    const QFont f = font.value<QFont>();
    return f.italic() && !f.bold() && !f.underline() && !f.strikeOut();
}

bool IsItalic(const QModelIndex& cell) {
    const QVariant font = cell.data(Qt::FontRole);
    return font.isValid() && font.value<QFont>().italic();
}

// What a message box showed when the test answered it.
struct SeenBox {
    QString name;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers the dialogs and message boxes that the window opens, from inside their modal loops:
// each is found by its object name and handed to the answer given for that name. A dialog with no
// answer is rejected and noted, so that a box nobody expected fails the test instead of hanging it.
class DialogAnswerer : public QObject {
public:
    using Answer = std::function<void(QDialog*)>;

    DialogAnswerer() {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(10);
    }

    void On(const QString& name, Answer answer) { answers_[name] = std::move(answer); }

    QList<SeenBox> BoxesNamed(const QString& name) const {
        QList<SeenBox> found;
        for (const SeenBox& box : boxes) {
            if (box.name == name) found << box;
        }
        return found;
    }

    QStringList dialogs;     // object names of the dialogs answered, in order
    QList<SeenBox> boxes;    // the message boxes among them
    QStringList unexpected;  // dialogs that had no answer

private:
    void Poll() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(window);
            // The load's progress window closes by itself.
            if (!dialog || !dialog->isVisible() || qobject_cast<QProgressDialog*>(dialog)) continue;
            const QString name = dialog->objectName();
            dialogs << name;
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                boxes << SeenBox{name, box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            }
            if (!tries_.contains(dialog)) {
                // A later dialog may be built at the same address; its count starts afresh.
                connect(dialog, &QDialog::finished, this, [this, dialog] { tries_.erase(dialog); });
            }
            const auto answer = answers_.find(name);
            if (answer != answers_.end() && ++tries_[dialog] > 3) {
                unexpected << name + QStringLiteral(" (stayed open)");
                dialog->reject();
            } else if (answer == answers_.end()) {
                unexpected << name;
                dialog->reject();
            } else {
                answer->second(dialog);
            }
            return;
        }
    }

    QTimer timer_;
    std::map<QString, Answer> answers_;
    std::map<QDialog*, int> tries_;
};

DialogAnswerer::Answer Press(QMessageBox::StandardButton which) {
    return [which](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QAbstractButton* button = box ? box->button(which) : nullptr;
        if (button) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            dialog->reject();
        }
    };
}

DialogAnswerer::Answer ChooseFile(const QString& path) {
    return [path](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files) {
            dialog->reject();
            return;
        }
        // Typed as a user would; a selection made by the test would race the folder's listing.
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name) {
            name->setText(path);
        } else {
            files->selectFile(path);
        }
        dialog->accept();  // QFileDialog's own accept, reached through the public base
    };
}

DialogAnswerer::Answer Cancel() {
    return [](QDialog* dialog) { dialog->reject(); };
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Stored settings
    void firstRunDefaults();
    void filterSettingsRoundTrip_data();
    void filterSettingsRoundTrip();
    void editedFilterStoredRelativeToToday();
    void recentFilesStoredAsCommaText_data();
    void recentFilesStoredAsCommaText();
    void windowPlacementRestored_data();
    void windowPlacementRestored();

    // Recent files
    void openPutsFileInRecentList_data();
    void openPutsFileInRecentList();
    void recentEntryClick_data();
    void recentEntryClick();

    // Loading commands
    void fileCommands_data();
    void fileCommands();
    void parserPromptAnswer_data();
    void parserPromptAnswer();
    void startupFileLoadedOnFirstActivationOnly();
    void missingStartupFileIgnored();

    // The site tree
    void treeColumns();
    void treeRowTexts_data();
    void treeRowTexts();
    void alarmsSortedDescendingAtStart();
    void headerClickSorts_data();
    void headerClickSorts();
    void refreshAppliesControls_data();
    void refreshAppliesControls();
    void refreshBeforeAnyLoad();
    void expandCollapse_data();
    void expandCollapse();
};

// ---------------------------------------------------------------------------------------------
// Stored settings

void MainWindowTest::firstRunDefaults() {
    TempSettings settings;
    TForm1 form(settings.store);

    QCOMPARE(StartEdit(form)->date(), Today());
    QCOMPARE(EndEdit(form)->date(), Today());
    QCOMPARE(DaysSpin(form)->value(), 1);
    QVERIFY(form.RecentFiles().isEmpty());
    QVERIFY(RecentMenuPaths(form).isEmpty());
    QCOMPARE(form.geometry(), QRect(270, 196, 790, 605));
    QCOMPARE(form.windowTitle(), QStringLiteral("Kelvane " KELVANE_VERSION));
    QVERIFY(!form.SiteList());
    QCOMPARE(form.Tree()->model()->rowCount(), 0);
}

void MainWindowTest::filterSettingsRoundTrip_data() {
    QTest::addColumn<QString>("storedStart");  // a null text: nothing stored
    QTest::addColumn<QString>("storedEnd");
    QTest::addColumn<QString>("storedDays");
    QTest::addColumn<int>("startBefore");  // days before today shown in the Start control
    QTest::addColumn<int>("endBefore");
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("written");  // Start, End, Days stored at exit

    QTest::newRow("nothing stored") << QString() << QString() << QString() << 0 << 0 << 1
                                    << QStringList{"0", "0", "1"};
    QTest::newRow("Start 9 and End 1 days back") << "9"
                                                 << "1"
                                                 << "3" << 9 << 1 << 3 << QStringList{"9", "1", "3"};
    QTest::newRow("End in the future") << "0"
                                       << "-2"
                                       << "1" << 0 << -2 << 1 << QStringList{"0", "-2", "1"};
    QTest::newRow("Days not a number") << "4"
                                       << "2"
                                       << "abc" << 4 << 2 << 1 << QStringList{"4", "2", "1"};
    QTest::newRow("dates not whole numbers") << "1.5"
                                             << "7x"
                                             << "2" << 0 << 0 << 2 << QStringList{"0", "0", "2"};
    QTest::newRow("Days 0") << "3"
                            << "3"
                            << "0" << 3 << 3 << 0 << QStringList{"3", "3", "0"};
}

void MainWindowTest::filterSettingsRoundTrip() {
    QFETCH(QString, storedStart);
    QFETCH(QString, storedEnd);
    QFETCH(QString, storedDays);
    QFETCH(int, startBefore);
    QFETCH(int, endBefore);
    QFETCH(int, days);
    QFETCH(QStringList, written);

    TempSettings settings;
    const auto store = [&](const char* key, const QString& value) {
        if (!value.isNull()) settings.store.setValue(QLatin1String(key), value);
    };
    store("Filter/Start", storedStart);
    store("Filter/End", storedEnd);
    store("Filter/Days", storedDays);

    auto form = std::make_unique<TForm1>(settings.store);
    QCOMPARE(StartEdit(*form)->date(), Today().addDays(-startBefore));
    QCOMPARE(EndEdit(*form)->date(), Today().addDays(-endBefore));
    QCOMPARE(DaysSpin(*form)->value(), days);
    form.reset();

    const QStringList stored{settings.store.value(QStringLiteral("Filter/Start")).toString(),
                             settings.store.value(QStringLiteral("Filter/End")).toString(),
                             settings.store.value(QStringLiteral("Filter/Days")).toString()};
    QCOMPARE(stored, written);
}

void MainWindowTest::editedFilterStoredRelativeToToday() {
    TempSettings settings;
    auto form = std::make_unique<TForm1>(settings.store);
    StartEdit(*form)->setDate(Today().addDays(-30));
    EndEdit(*form)->setDate(Today().addDays(3));
    DaysSpin(*form)->setValue(7);
    form.reset();

    QCOMPARE(settings.store.value(QStringLiteral("Filter/Start")).toString(), QStringLiteral("30"));
    QCOMPARE(settings.store.value(QStringLiteral("Filter/End")).toString(), QStringLiteral("-3"));
    QCOMPARE(settings.store.value(QStringLiteral("Filter/Days")).toString(), QStringLiteral("7"));
}

void MainWindowTest::recentFilesStoredAsCommaText_data() {
    QTest::addColumn<QString>("stored");  // a null text: nothing stored
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("written");

    QTest::newRow("nothing stored") << QString() << QStringList{} << QString("");
    QTest::newRow("path with a blank")
        << R"("/srv/plant logs/site a.log")" << QStringList{"/srv/plant logs/site a.log"}
        << R"("/srv/plant logs/site a.log")";
    QTest::newRow("two plain paths") << "/logs/a.log,/logs/b.log" << QStringList{"/logs/a.log", "/logs/b.log"}
                                     << "/logs/a.log,/logs/b.log";
    QTest::newRow("comma and double quote")
        << R"("/logs/x,y.log","/logs/say""hi"".log")" << QStringList{"/logs/x,y.log", R"(/logs/say"hi".log)"}
        << R"("/logs/x,y.log","/logs/say""hi"".log")";
    QTest::newRow("separated by blanks")
        << "/logs/a.log /logs/b.log" << QStringList{"/logs/a.log", "/logs/b.log"}
        << "/logs/a.log,/logs/b.log";
    QTest::newRow("six stored, five kept") << "/1.log,/2.log,/3.log,/4.log,/5.log,/6.log"
                                           << QStringList{"/1.log", "/2.log", "/3.log", "/4.log", "/5.log"}
                                           << "/1.log,/2.log,/3.log,/4.log,/5.log";
}

void MainWindowTest::recentFilesStoredAsCommaText() {
    QFETCH(QString, stored);
    QFETCH(QStringList, paths);
    QFETCH(QString, written);

    TempSettings settings;
    if (!stored.isNull()) settings.store.setValue(QStringLiteral("Files/MRU"), stored);

    auto form = std::make_unique<TForm1>(settings.store);
    QCOMPARE(form->RecentFiles(), paths);
    QCOMPARE(RecentMenuPaths(*form), paths);
    form.reset();

    const QVariant value = settings.store.value(QStringLiteral("Files/MRU"));
    QVERIFY(value.isValid());
    QCOMPARE(value.toString(), written);
}

void MainWindowTest::windowPlacementRestored_data() {
    QTest::addColumn<bool>("maximized");
    QTest::newRow("moved and resized") << false;
    QTest::newRow("maximized") << true;
}

void MainWindowTest::windowPlacementRestored() {
    QFETCH(bool, maximized);
    const QRect placed(60, 80, 500, 400);

    TempSettings settings;
    {
        TForm1 form(settings.store);
        QVERIFY(ShowAndWait(form));
        form.setGeometry(placed);
        QTRY_COMPARE(form.geometry(), placed);
        if (maximized) {
            form.showMaximized();
            QTRY_VERIFY(form.isMaximized());
        }
        Trigger(form, "dxFileExit");
        QVERIFY(!form.isVisible());
    }

    settings.store.beginGroup(QStringLiteral("Settings/TForm1"));
    QVERIFY(!settings.store.childKeys().isEmpty());
    settings.store.endGroup();

    TForm1 restored(settings.store);
    QVERIFY(ShowAndWait(restored));
    QCOMPARE(restored.isMaximized(), maximized);
    QCOMPARE(restored.normalGeometry(), placed);
}

// ---------------------------------------------------------------------------------------------
// Recent files

void MainWindowTest::openPutsFileInRecentList_data() {
    QTest::addColumn<QStringList>("before");  // file names in the temporary folder
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("new file on top") << QStringList{"a.log", "b.log"} << "c.log"
                                     << QStringList{"c.log", "a.log", "b.log"};
    QTest::newRow("listed file moves to the top")
        << QStringList{"a.log", "b.log", "c.log"} << "c.log" << QStringList{"c.log", "a.log", "b.log"};
    QTest::newRow("top file stays") << QStringList{"a.log", "b.log"} << "a.log"
                                    << QStringList{"a.log", "b.log"};
    QTest::newRow("other letter case is another file") << QStringList{"a.log", "b.log", "c.log"} << "C.log"
                                                       << QStringList{"C.log", "a.log", "b.log", "c.log"};
    QTest::newRow("sixth file drops the oldest")
        << QStringList{"a.log", "b.log", "c.log", "d.log", "e.log"} << "f.log"
        << QStringList{"f.log", "a.log", "b.log", "c.log", "d.log"};
    QTest::newRow("listed file in a full list")
        << QStringList{"a.log", "b.log", "c.log", "d.log", "e.log"} << "d.log"
        << QStringList{"d.log", "a.log", "b.log", "c.log", "e.log"};
}

void MainWindowTest::openPutsFileInRecentList() {
    QFETCH(QStringList, before);
    QFETCH(QString, opened);
    QFETCH(QStringList, after);

    TempSettings settings;
    const auto paths = [&](const QStringList& names) {
        QStringList full;
        for (const QString& name : names) full << settings.dir.filePath(name);
        return full;
    };
    for (const QString& name : before + QStringList{opened}) {
        QFile file(settings.dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    settings.store.setValue(QStringLiteral("Files/MRU"), paths(before).join(QLatin1Char(',')));

    TForm1 form(settings.store);
    QVERIFY(ShowAndWait(form));
    DialogAnswerer answerer;
    answerer.On(QStringLiteral("OpenDialog1"), ChooseFile(settings.dir.filePath(opened)));
    ClickToolButton(form, "dxFileOpen");

    QCOMPARE(answerer.dialogs, QStringList{"OpenDialog1"});
    QCOMPARE(form.RecentFiles(), paths(after));
    QCOMPARE(RecentMenuPaths(form), paths(after));
}

void MainWindowTest::recentEntryClick_data() {
    QTest::addColumn<QStringList>(
        "recent");  // "A", "B" the fixture logs, "missing" a deleted file, "folder" a folder
    QTest::addColumn<bool>("openAFirst");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<bool>("notFound");
    QTest::addColumn<QStringList>("sites");

    QTest::newRow("existing file is added")
        << QStringList{"A", "B"} << true << 1 << false << QStringList{"Alpha", "Charlie", "North"};
    QTest::newRow("existing file, nothing shown yet")
        << QStringList{"A", "B"} << false << 1 << false << QStringList{"Charlie", "North"};
    QTest::newRow("missing file") << QStringList{"A", "missing"} << true << 1 << true
                                  << QStringList{"Alpha", "North"};
    QTest::newRow("folder, not a file")
        << QStringList{"folder", "A"} << true << 0 << true << QStringList{"Alpha", "North"};
}

void MainWindowTest::recentEntryClick() {
    QFETCH(QStringList, recent);
    QFETCH(bool, openAFirst);
    QFETCH(int, clicked);
    QFETCH(bool, notFound);
    QFETCH(QStringList, sites);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    QStringList paths;
    for (const QString& token : recent) {
        paths << (token == "A"        ? Fixture("ui_open_a.log")
                  : token == "B"      ? Fixture("ui_open_b.log")
                  : token == "folder" ? settings.dir.path()
                                      : settings.File("gone.log"));
    }
    settings.store.setValue(QStringLiteral("Files/MRU"), paths.join(QLatin1Char(',')));

    TForm1 form(settings.store);
    if (openAFirst) form.LoadLog(Fixture("ui_open_a.log"), false);
    const kelvane::TAlSiteList* shown = form.SiteList();

    DialogAnswerer answerer;
    answerer.On(QStringLiteral("FileNotFound"), Press(QMessageBox::Ok));
    answerer.On(QStringLiteral("ErrorDisplay"), Press(QMessageBox::Ok));
    QAction* entry = RecentEntry(form, clicked);
    QVERIFY(entry);
    TriggerFromEventLoop(entry);

    QCOMPARE(answerer.dialogs, notFound ? QStringList{"FileNotFound"} : QStringList{});
    const QList<SeenBox> boxes = answerer.BoxesNamed(QStringLiteral("FileNotFound"));
    if (notFound) {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].caption, QStringLiteral("Open"));
        QCOMPARE(boxes[0].text, paths.at(clicked) + QStringLiteral("\r\nFile not found"));
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    } else {
        QVERIFY(boxes.isEmpty());
    }
    if (shown) QCOMPARE(form.SiteList(), shown);
    QCOMPARE(Sorted(SiteNames(form)), sites);
    QCOMPARE(form.RecentFiles(), paths);
    QCOMPARE(RecentMenuPaths(form), paths);
}

// ---------------------------------------------------------------------------------------------
// Loading commands

void MainWindowTest::fileCommands_data() {
    QTest::addColumn<QByteArray>("command");  // run after "&Open..." of file A
    QTest::addColumn<QString>("chosen");      // "B", "missing" or empty for Cancel
    QTest::addColumn<QStringList>("sites");
    QTest::addColumn<QStringList>("north");  // the North site row
    QTest::addColumn<QStringList>("recent");
    QTest::addColumn<bool>("failed");       // "Error opening file" shown
    QTest::addColumn<bool>("sameList");     // the shown site list object kept
    QTest::addColumn<bool>("filterReset");  // Start control back at its stored value

    const QStringList northA{"North", "2006-11-10", "SE", "1", "1.00"};
    QTest::newRow("Add merges") << QByteArray("dxFileAdd") << "B" << QStringList{"Alpha", "Charlie", "North"}
                                << QStringList{"North", "2006-11-12", "SE", "2", "3.00"}
                                << QStringList{"B", "A"} << false << true << true;
    QTest::newRow("Open replaces") << QByteArray("dxFileOpen") << "B" << QStringList{"Charlie", "North"}
                                   << QStringList{"North", "2006-11-12", "AL??", "1", "2.00"}
                                   << QStringList{"B", "A"} << false << false << true;
    QTest::newRow("Open cancelled") << QByteArray("dxFileOpen") << "" << QStringList{"Alpha", "North"}
                                    << northA << QStringList{"A"} << false << true << false;
    QTest::newRow("Open of a missing file")
        << QByteArray("dxFileOpen") << "missing" << QStringList{"Alpha", "North"} << northA
        << QStringList{"A"} << true << true << false;
    QTest::newRow("Add of a missing file")
        << QByteArray("dxFileAdd") << "missing" << QStringList{"Alpha", "North"} << northA << QStringList{"A"}
        << true << true << false;
}

void MainWindowTest::fileCommands() {
    QFETCH(QByteArray, command);
    QFETCH(QString, chosen);
    QFETCH(QStringList, sites);
    QFETCH(QStringList, north);
    QFETCH(QStringList, recent);
    QFETCH(bool, failed);
    QFETCH(bool, sameList);
    QFETCH(bool, filterReset);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    const QString missing = settings.File("missing.log");
    const auto path = [&](const QString& token) {
        return token == "A" ? Fixture("ui_open_a.log") : token == "B" ? Fixture("ui_open_b.log") : missing;
    };

    TForm1 form(settings.store);
    QVERIFY(ShowAndWait(form));
    DialogAnswerer answerer;
    answerer.On(QStringLiteral("ErrorDisplay"), Press(QMessageBox::Ok));
    answerer.On(QStringLiteral("OpenDialog1"), ChooseFile(path("A")));
    ClickToolButton(form, "dxFileOpen");
    QCOMPARE(Sorted(SiteNames(form)), (QStringList{"Alpha", "North"}));
    const kelvane::TAlSiteList* first = form.SiteList();

    // A changed Start holds only until the next load.
    const QDate edited(2006, 11, 11);
    StartEdit(form)->setDate(edited);

    answerer.On(QStringLiteral("OpenDialog1"), chosen.isEmpty() ? Cancel() : ChooseFile(path(chosen)));
    ClickToolButton(form, command.constData());

    QCOMPARE(answerer.dialogs.count(QStringLiteral("OpenDialog1")), 2);
    const QList<SeenBox> errors = answerer.BoxesNamed(QStringLiteral("ErrorDisplay"));
    if (failed) {
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors[0].text, QStringLiteral("Error opening file: ") + missing);
        QCOMPARE(errors[0].icon, QMessageBox::Critical);
        QCOMPARE(errors[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    } else {
        QVERIFY(errors.isEmpty());
    }
    QVERIFY(answerer.unexpected.isEmpty());

    QVERIFY(form.SiteList());
    QCOMPARE(form.SiteList() == first, sameList);
    QCOMPARE(Sorted(SiteNames(form)), sites);
    const QModelIndex northRow = SiteRow(form, QStringLiteral("North"));
    QVERIFY(northRow.isValid());
    QCOMPARE(RowTexts(northRow), north);
    QStringList recentPaths;
    for (const QString& token : recent) recentPaths << path(token);
    QCOMPARE(form.RecentFiles(), recentPaths);
    QCOMPARE(StartEdit(form)->date(), filterReset ? kNov1 : edited);
}

void MainWindowTest::parserPromptAnswer_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("sites");

    QTest::newRow("Cancel keeps the lines before") << int(QMessageBox::Cancel) << QStringList{"Alpha"};
    QTest::newRow("OK reads on") << int(QMessageBox::Ok) << QStringList{"Alpha", "Bravo"};
}

void MainWindowTest::parserPromptAnswer() {
    QFETCH(int, answer);
    QFETCH(QStringList, sites);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    DialogAnswerer answerer;
    answerer.On(QStringLiteral("ParserPrompt"), Press(QMessageBox::StandardButton(answer)));
    form.LoadLog(Fixture("ui_prompt.log"), false);

    QCOMPARE(answerer.dialogs, QStringList{"ParserPrompt"});
    const SeenBox& prompt = answerer.boxes.at(0);
    QCOMPARE(prompt.caption, QStringLiteral("BrelLogParser Error: Unit - unknown alarm"));
    // Line 2 of the file is blank: the number is the physical line's.
    QCOMPARE(prompt.text, QStringLiteral(R"(Line 4: "Unit 1 alarms: "SENSOR FAILURE","BOGUS"")"));
    QCOMPARE(prompt.icon, QMessageBox::NoIcon);
    QCOMPARE(prompt.buttons, QMessageBox::StandardButtons(QMessageBox::Ok | QMessageBox::Cancel));

    QCOMPARE(Sorted(SiteNames(form)), sites);
    // The alarm before the unknown one on the faulty line was kept.
    QCOMPARE(RowTexts(SiteRow(form, QStringLiteral("Alpha"))),
             (QStringList{"Alpha", "2006-11-10", "SE", "1", "1.00"}));
}

void MainWindowTest::startupFileLoadedOnFirstActivationOnly() {
    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store, Fixture("ui_open_a.log"));
    QVERIFY(!form.SiteList());

    DialogAnswerer answerer;
    QVERIFY(ShowAndWait(form));
    QTRY_VERIFY(form.SiteList());
    QCOMPARE(Sorted(SiteNames(form)), (QStringList{"Alpha", "North"}));
    QVERIFY(form.RecentFiles().isEmpty());

    // Another load would put the stored Start back and make a new list.
    const kelvane::TAlSiteList* loaded = form.SiteList();
    const QDate edited(2006, 11, 5);
    StartEdit(form)->setDate(edited);
    form.hide();
    QVERIFY(ShowAndWait(form));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    QCoreApplication::processEvents();

    QCOMPARE(form.SiteList(), loaded);
    QCOMPARE(StartEdit(form)->date(), edited);
    QVERIFY(answerer.dialogs.isEmpty());
}

void MainWindowTest::missingStartupFileIgnored() {
    TempSettings settings;
    TForm1 form(settings.store, settings.File("not-there.log"));
    DialogAnswerer answerer;
    QVERIFY(ShowAndWait(form));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    QCoreApplication::processEvents();

    QVERIFY(answerer.dialogs.isEmpty());
    QVERIFY(!form.SiteList());
    QCOMPARE(form.Tree()->model()->rowCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// The site tree

void MainWindowTest::treeColumns() {
    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    form.LoadLog(Fixture("ui_open_a.log"), false);

    const QAbstractItemModel* model = form.Tree()->model();
    QStringList captions;
    for (int column = 0; column < model->columnCount(); ++column) {
        captions << model->headerData(column, Qt::Horizontal).toString();
    }
    QCOMPARE(captions, (QStringList{"Site/Unit", "Date/Time", "Alarms", "Conns", "Mins"}));

    // Counts and minutes are right-aligned, the texts left-aligned.
    const QModelIndex north = SiteRow(form, QStringLiteral("North"));
    const QModelIndex unit = model->index(0, 0, north);
    for (const QModelIndex& row : {north, unit}) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const auto alignment =
                Qt::Alignment(row.siblingAtColumn(column).data(Qt::TextAlignmentRole).toInt());
            QCOMPARE(bool(alignment & Qt::AlignRight), column >= 3);
        }
    }
}

void MainWindowTest::treeRowTexts_data() {
    QTest::addColumn<QString>("site");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("grey");
    QTest::addColumn<QList<QStringList>>("units");  // in the order shown

    QTest::newRow("failed attempt after the last connection")
        << "Alpha" << QStringList{"Alpha", "2006-11-16 (2006-11-17)", "SE,LT,HT", "2", "1.50"} << false
        << QList<QStringList>{{"Unit 4", "Lp1", "SE,LT", "", ""}, {"Unit 7", "", "HT", "", ""}};
    QTest::newRow("never connected, trips only")
        << "Bravo" << QStringList{"Bravo", "1899-12-30 (2006-11-17)", "AL??", "0", "0.00"} << true
        << QList<QStringList>{{"Unit 2", "Hp", "none", "", ""}};
    QTest::newRow("connected before the period only")
        << "Charlie" << QStringList{"Charlie", "2006-10-20", "none", "0", "0.00"} << true
        << QList<QStringList>{{"Unit 1", "", "none", "", ""}};
    QTest::newRow("one second online") << "Delta" << QStringList{"Delta", "2006-11-12", "none", "1", "0.02"}
                                       << false << QList<QStringList>{{"Unit 5", "", "none", "", ""}};
}

void MainWindowTest::treeRowTexts() {
    QFETCH(QString, site);
    QFETCH(QStringList, texts);
    QFETCH(bool, grey);
    QFETCH(QList<QStringList>, units);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    form.LoadLog(Fixture("ui_tree.log"), false);
    QCOMPARE(Sorted(SiteNames(form)), (QStringList{"Alpha", "Bravo", "Charlie", "Delta"}));

    const QModelIndex row = SiteRow(form, site);
    QVERIFY(row.isValid());
    QCOMPARE(RowTexts(row), texts);
    for (int column = 0; column < texts.size(); ++column) {
        const QModelIndex cell = row.siblingAtColumn(column);
        QCOMPARE(IsGrey(cell), grey);
        QCOMPARE(grey ? IsItalicOnly(cell) : IsItalic(cell), grey);
    }

    const QAbstractItemModel* model = form.Tree()->model();
    QList<QStringList> shownUnits;
    for (int i = 0; i < model->rowCount(row); ++i) {
        const QModelIndex unit = model->index(i, 0, row);
        shownUnits << RowTexts(unit);
        for (int column = 0; column < texts.size(); ++column) {
            QVERIFY(!IsGrey(unit.siblingAtColumn(column)));
            QVERIFY(!IsItalic(unit.siblingAtColumn(column)));
        }
    }
    QCOMPARE(shownUnits, units);
}

void MainWindowTest::alarmsSortedDescendingAtStart() {
    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    form.LoadLog(Fixture("ui_sort.log"), false);

    const QHeaderView* header = form.Tree()->header();
    QCOMPARE(header->sortIndicatorSection(), 2);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    const QStringList alarms{"SE", "LT,HT", "AL??", "none", "none"};
    QCOMPARE(SiteColumn(form, 2), alarms);
    QCOMPARE(SiteNames(form).mid(0, 3), (QStringList{"Alpha", "Bravo", "Charlie"}));

    Trigger(form, "dxRefresh");
    QCOMPARE(SiteColumn(form, 2), alarms);
}

void MainWindowTest::headerClickSorts_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("descending");  // site names, largest first

    QTest::newRow("Conns") << 3
                           << QStringList{"Alpha", "Bravo", "Charlie", "Delta", "Echo"};  // 10, 9, 2, 1, 0
    QTest::newRow("Mins") << 4
                          << QStringList{"Charlie", "Alpha", "Bravo", "Delta",
                                         "Echo"};  // 20.00, 10.00, 9.00 ...
    QTest::newRow("Site/Unit") << 0 << QStringList{"Echo", "Delta", "Charlie", "Bravo", "Alpha"};
}

void MainWindowTest::headerClickSorts() {
    QFETCH(int, column);
    QFETCH(QStringList, descending);
    QStringList ascending = descending;
    std::reverse(ascending.begin(), ascending.end());

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    QVERIFY(ShowAndWait(form));
    form.LoadLog(Fixture("ui_sort.log"), false);

    QHeaderView* header = form.Tree()->header();
    const auto clickHeader = [&] {
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QVERIFY2(header->viewport()->rect().contains(centre), "column header out of sight");
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    };

    for (int click = 1; click <= 2; ++click) {
        clickHeader();
        QCOMPARE(header->sortIndicatorSection(), column);
        QCOMPARE(SiteNames(form),
                 header->sortIndicatorOrder() == Qt::DescendingOrder ? descending : ascending);
    }
}

void MainWindowTest::refreshAppliesControls_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("texts");  // Alarms, Conns, Mins of the site row
    QTest::addColumn<bool>("grey");

    // Attempts on 1, 5, 10 and 15 November at 09:00, online 60, 120, 180 and 240 seconds.
    QTest::newRow("longer period") << kNov1 << kNov30 << 0 << QStringList{"SE", "4", "10.00"} << false;
    QTest::newRow("End day included")
        << kNov1 << QDate(2006, 11, 10) << 0 << QStringList{"SE", "3", "6.00"} << false;
    QTest::newRow("End the day before")
        << kNov1 << QDate(2006, 11, 9) << 0 << QStringList{"SE", "2", "3.00"} << false;
    QTest::newRow("Days back from the last connection")
        << kNov1 << kNov30 << 5 << QStringList{"none", "2", "7.00"} << false;
    QTest::newRow("Days reaching before Start")
        << QDate(2006, 11, 5) << kNov30 << 100 << QStringList{"none", "3", "9.00"} << false;
    QTest::newRow("Start after the last attempt")
        << QDate(2006, 11, 20) << QDate(2006, 11, 25) << 0 << QStringList{"none", "0", "0.00"} << true;
}

void MainWindowTest::refreshAppliesControls() {
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(int, days);
    QFETCH(QStringList, texts);
    QFETCH(bool, grey);

    TempSettings settings;
    settings.StoreFilter(QDate(2006, 11, 10), QDate(2006, 11, 15), 0);
    TForm1 form(settings.store);
    form.LoadLog(Fixture("ui_refresh.log"), false);
    QCOMPARE(RowTexts(SiteRow(form, QStringLiteral("Alpha"))),
             (QStringList{"Alpha", "2006-11-15", "none", "2", "7.00"}));

    StartEdit(form)->setDate(start);
    EndEdit(form)->setDate(end);
    DaysSpin(form)->setValue(days);
    Trigger(form, "dxRefresh");

    const QModelIndex row = SiteRow(form, QStringLiteral("Alpha"));
    QCOMPARE(RowTexts(row), (QStringList{"Alpha", "2006-11-15"} + texts));
    QCOMPARE(IsGrey(row), grey);
    // Refresh reads the controls, not the stored values.
    QCOMPARE(StartEdit(form)->date(), start);
    QCOMPARE(EndEdit(form)->date(), end);
    QCOMPARE(DaysSpin(form)->value(), days);
}

void MainWindowTest::refreshBeforeAnyLoad() {
    TempSettings settings;
    TForm1 form(settings.store);
    DialogAnswerer answerer;
    QVERIFY(ShowAndWait(form));
    Trigger(form, "dxRefresh");
    QCoreApplication::processEvents();

    QVERIFY(!form.SiteList());
    QCOMPARE(form.Tree()->model()->rowCount(), 0);
    QVERIFY(answerer.dialogs.isEmpty());
}

void MainWindowTest::expandCollapse_data() {
    QTest::addColumn<QList<int>>("expandedRows");
    QTest::addColumn<bool>("expandsAll");

    QTest::newRow("0 of 5 expanded") << QList<int>{} << true;
    QTest::newRow("2 of 5 expanded") << QList<int>{0, 3} << true;
    QTest::newRow("3 of 5 expanded") << QList<int>{0, 2, 4} << false;
    QTest::newRow("5 of 5 expanded") << QList<int>{0, 1, 2, 3, 4} << false;
}

void MainWindowTest::expandCollapse() {
    QFETCH(QList<int>, expandedRows);
    QFETCH(bool, expandsAll);

    TempSettings settings;
    settings.StoreFilter(kNov1, kNov30, 0);
    TForm1 form(settings.store);
    QVERIFY(ShowAndWait(form));
    form.LoadLog(Fixture("ui_sort.log"), false);

    QTreeView* tree = form.Tree();
    const QAbstractItemModel* model = tree->model();
    QCOMPARE(model->rowCount(), 5);
    for (int row : expandedRows) tree->expand(model->index(row, 0));

    const auto expandedStates = [&] {
        QList<bool> states;
        for (int row = 0; row < model->rowCount(); ++row) states << tree->isExpanded(model->index(row, 0));
        return states;
    };

    Trigger(form, "dxExpandAll");
    QCOMPARE(expandedStates(), (QList<bool>(5, expandsAll)));
    Trigger(form, "dxExpandAll");
    QCOMPARE(expandedStates(), (QList<bool>(5, !expandsAll)));
}

int main(int argc, char* argv[]) {
    // The fixture logs write their dates day/month/year, as the British short date does.
    qputenv("LC_ALL", "en_GB.UTF-8");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    kelvane::KelvaneApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    MainWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_mainwindow.moc"
