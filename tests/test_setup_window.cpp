// The join set-up window against the stand-in server: the catalogue of tables
// and fields, the sorted lists and their clicks, and the way between windows.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "oracle/form1.h"
#include "setup_window/form2.h"
#include "setup_window/sorted_list_box.h"
#include "shell/event_yield.h"
#include "shell/settings_store.h"
#include "shell/window_flow.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"

using TableList = JoinWindow::TableList;

namespace {

// The entry with exactly this text (names may differ only in case).
QListWidgetItem* entry(SortedListBox* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == text) return list->item(i);
    return nullptr;
}

void clickEntry(SortedListBox* list, const QString& text) {
    QListWidgetItem* item = entry(list, text);
    QVERIFY2(item, qPrintable(QStringLiteral("no entry ") + text));
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

// The line numbers of the error boxes shown for one handler, in order.
QList<int> errorLines(const RecordingDialogs& dialogs, const QString& handler) {
    QList<int> lines;
    const QString location =
        QStringLiteral("\r\nin Brisvane2018/12/22.Form2.") + handler + QStringLiteral(" at line ");
    for (const auto& box : dialogs.errorBoxes()) {
        const qsizetype at = box.text.indexOf(location);
        if (at < 0) continue;
        lines << box.text.mid(at + location.size(), 3).toInt();
    }
    return lines;
}

// Grants or takes away the login's reading of its catalogue, as the server's
// administrator; the login itself keeps working.
void setCatalogueReadable(const standin::Login& owner, bool readable) {
    db::Connection admin = standin::admin(owner.name());
    admin.execute(readable ? QStringLiteral("GRANT SELECT ON public.user_tables TO PUBLIC")
                           : QStringLiteral("REVOKE SELECT ON public.user_tables FROM PUBLIC"));
}

}  // namespace

class TestSetupWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settingsDir;
    QTemporaryDir m_programFolder;

    std::unique_ptr<Form2> shownForm(RecordingDialogs& dialogs, const OracleLogin& login) {
        auto form =
            std::make_unique<Form2>(m_programFolder.path(), dialogs, [login] { return login; });
        form->load();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) qWarning("window not exposed");
        return form;
    }

private slots:
    // No saved login, so the start-up stays on the login window.
    void init() {
        EventYield::allowRuns();
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
    }

    void windowAsDesigned() {
        RecordingDialogs dialogs;
        Form2 form(m_programFolder.path(), dialogs, [] { return OracleLogin{}; });
        QCOMPARE(form.size(), QSize(424, 419));
        const struct {
            const char* name;
            QRect rect;
        } expected[] = {
            {"Frame3", {8, 8, 408, 137}},        {"List1", {16, 40, 182, 79}},
            {"List2", {208, 40, 182, 79}},       {"Frame1", {8, 147, 408, 137}},
            {"Frame2", {8, 287, 408, 57}},       {"Text1", {336, 22, 57, 22}},
            {"PushButton5", {8, 350, 112, 27}},  {"PushButton2", {128, 350, 288, 27}},
            {"ProgressBar1", {8, 384, 408, 27}},
        };
        for (const auto& control : expected) {
            auto* widget = form.findChild<QWidget*>(QString::fromLatin1(control.name));
            QVERIFY2(widget, control.name);
            QCOMPARE(widget->geometry(), control.rect);
        }
        for (auto* label : form.findChildren<QLabel*>()) QCOMPARE(label->size(), label->sizeHint());
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label5"))->text(),
                 QStringLiteral("Duplicate field names will have this text added to end:"));
        QCOMPARE(form.suffix(), QStringLiteral("1"));
        QCOMPARE(form.progressBar()->minimum(), 0);
        QCOMPARE(form.progressBar()->maximum(), 100);
        QCOMPARE(form.progressBar()->value(), 0);
        QCOMPARE(form.startJoiningButton()->font().pointSizeF(), 11.25);
        QVERIFY(form.tableList(TableList::First)->font().bold());

        // "Start Joining" does nothing until the join run is wired to it.
        form.startJoiningButton()->click();
        int started = 0;
        form.setStartJoining([&] { ++started; });
        form.startJoiningButton()->click();
        QCOMPARE(started, 1);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Ascending, case ignored, equal entries in the order they came; only the
    // user moving the selection (or clicking it again) is a click.
    void sortedListAndItsClicks() {
        SortedListBox list;
        list.resize(200, 300);
        QSignalSpy clicks(&list, &SortedListBox::clickedByUser);
        for (const char* name : {"beta", "Alpha", "BETA", "gamma", "Beta", "alpha", "_x"})
            list.addEntry(QString::fromLatin1(name));
        QCOMPARE(list.entries(),
                 (QStringList{"_x", "Alpha", "alpha", "beta", "BETA", "Beta", "gamma"}));
        QCOMPARE(list.selectedEntry(), std::nullopt);

        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // The focus arriving by Tab selects nothing.
        QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(&list, &tabIn);
        QCOMPARE(clicks.size(), 0);
        QCOMPARE(list.selectedEntry(), std::nullopt);

        clickEntry(&list, QStringLiteral("BETA"));
        QCOMPARE(clicks.size(), 1);
        clickEntry(&list, QStringLiteral("BETA"));
        QCOMPARE(clicks.size(), 2);
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(clicks.size(), 3);
        QCOMPARE(list.selectedEntry(), QStringLiteral("Beta"));

        // The program's own changes: no click, and the user's choice stays.
        list.addEntry(QStringLiteral("aardvark"));
        list.removeEntryAt(0);
        QCOMPARE(list.selectedEntry(), QStringLiteral("Beta"));
        list.removeEntryAt(int(list.entries().indexOf(QStringLiteral("Beta"))));
        QCOMPARE(list.selectedEntry(), std::nullopt);
        list.clearEntries();
        QCOMPARE(clicks.size(), 3);

        // Frozen, the list keeps its selection against clicks and keys.
        list.addEntry(QStringLiteral("one"));
        list.addEntry(QStringLiteral("two"));
        clickEntry(&list, QStringLiteral("one"));
        QCOMPARE(clicks.size(), 4);
        list.setFrozen(true);
        clickEntry(&list, QStringLiteral("two"));
        clickEntry(&list, QStringLiteral("one"));
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(clicks.size(), 4);
        QCOMPARE(list.selectedEntry(), QStringLiteral("one"));
        list.setFrozen(false);
        clickEntry(&list, QStringLiteral("two"));
        QCOMPARE(clicks.size(), 5);
    }

    // Exactly the login's own tables, in both lists, refilled at each load.
    void tableListsHoldTheLoginsOwnTables() {
        standin::Login owner;
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        QCOMPARE(form->tableListEntries(TableList::First), QStringList());
        QCOMPARE(form->tableListEntries(TableList::Second), QStringList());
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(form->windowTitle(), QStringLiteral("Quillmere Software"));

        owner.exec(QStringLiteral("CREATE TABLE \"ORDERS\" (\"ID\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"customers\" (\"ID\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"Mixed Case\" (\"ID\" integer)"));
        owner.exec(QStringLiteral("CREATE VIEW \"ORDER_VIEW\" AS SELECT * FROM \"ORDERS\""));
        // A table of another login that this one may read.
        db::Connection admin = standin::admin(owner.name());
        admin.execute(QStringLiteral("CREATE TABLE \"THEIRS\" (\"ID\" integer)"));
        admin.execute(QStringLiteral("GRANT SELECT ON \"THEIRS\" TO \"%1\"").arg(owner.name()));

        form->load();
        form->load();
        const QStringList own = {"customers", "Mixed Case", "ORDERS"};
        QCOMPARE(form->tableListEntries(TableList::First), own);
        QCOMPARE(form->tableListEntries(TableList::Second), own);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // A click lists the fields of exactly the table clicked, sorted, once,
    // in the field list beside it; names are taken with their exact case,
    // blanks, quotes and underscores.
    void fieldsOfTheClickedTable_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("other");
        QTest::newRow("upper case") << "ORDERS"
                                    << "orders";
        QTest::newRow("lower case") << "orders"
                                    << "ORDERS";
        QTest::newRow("mixed case") << "Orders"
                                    << "ORDERS";
        QTest::newRow("blank") << "Order Lines"
                               << "Order";
        QTest::newRow("underscore") << "ORDER_LINES"
                                    << "ORDERXLINES";
        QTest::newRow("double quote") << "Q\"T"
                                      << "Q";
        QTest::newRow("non-ASCII") << QStringLiteral("Bestellübersicht") << "Bestell";
    }
    void fieldsOfTheClickedTable() {
        QFETCH(QString, table);
        QFETCH(QString, other);
        const auto quoted = [](QString name) {
            return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                   QLatin1Char('"');
        };
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE %1 (\"C\" integer, \"A\" text, \"B\" date)")
                       .arg(quoted(table)));
        owner.exec(QStringLiteral("INSERT INTO %1 VALUES (1, 'x', NULL)").arg(quoted(table)));
        owner.exec(
            QStringLiteral("CREATE TABLE %1 (\"Y\" integer, \"X\" integer)").arg(quoted(other)));
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        SortedListBox* list1 = form->tableList(TableList::First);
        SortedListBox* list2 = form->fieldList(TableList::First);

        clickEntry(list1, table);
        QCOMPARE(list2->entries(), (QStringList{"A", "B", "C"}));
        clickEntry(list1, table);
        QCOMPARE(list2->entries(), (QStringList{"A", "B", "C"}));
        clickEntry(list1, other);
        QCOMPARE(list2->entries(), (QStringList{"X", "Y"}));
        QCOMPARE(form->fieldList(TableList::Second)->entries(), QStringList());

        clickEntry(form->tableList(TableList::Second), table);
        QCOMPARE(form->fieldList(TableList::Second)->entries(), (QStringList{"A", "B", "C"}));
        QCOMPARE(list2->entries(), (QStringList{"X", "Y"}));
        QCOMPARE(form->selectedTable1(), other);
        QCOMPARE(form->selectedTable2(), table);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(form->pointer().pointerState(), PointerState::Default);
    }

    // A table dropped after the listing: the error box at line 100 of the
    // list's click, no hourglass left behind, no fields of another table.
    void fieldListingFailure_data() {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("handler");
        QTest::newRow("List1") << int(TableList::First) << "List1_Click";
        QTest::newRow("List3") << int(TableList::Second) << "List3_Click";
    }
    void fieldListingFailure() {
        QFETCH(int, list);
        QFETCH(QString, handler);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"KEPT\" (\"K\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"GONE\" (\"G\" integer)"));
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        const auto side = TableList(list);
        clickEntry(form->tableList(side), QStringLiteral("KEPT"));
        QCOMPARE(form->fieldList(side)->entries(), QStringList{"K"});

        owner.exec(QStringLiteral("DROP TABLE \"GONE\""));
        bool hourglassDuringBox = true;
        dialogs.onShown = [&](const RecordingDialogs::Shown&) {
            hourglassDuringBox = QApplication::overrideCursor() != nullptr;
        };
        clickEntry(form->tableList(side), QStringLiteral("GONE"));
        QCOMPARE(errorLines(dialogs, handler), QList<int>{100});
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.front().text.contains(QStringLiteral("GONE")));
        QVERIFY(!hourglassDuringBox);
        QCOMPARE(form->pointer().pointerState(), PointerState::Default);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(form->fieldList(side)->entries(), QStringList());
    }

    // While the join runs, "< Back" and the table lists do nothing.
    void joinRunningFreezesBackAndTableLists() {
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"T1\" (\"A\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"T2\" (\"B\" integer)"));
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        int loginShown = 0;
        form->setShowLoginWindow([&] { ++loginShown; });
        clickEntry(form->tableList(TableList::First), QStringLiteral("T1"));

        form->setJoinRunning(true);
        clickEntry(form->tableList(TableList::First), QStringLiteral("T2"));
        clickEntry(form->tableList(TableList::Second), QStringLiteral("T2"));
        form->backButton()->click();
        QCOMPARE(form->selectedTable1(), QStringLiteral("T1"));
        QCOMPARE(form->selectedTable2(), std::nullopt);
        QCOMPARE(form->fieldList(TableList::First)->entries(), QStringList{"A"});
        QCOMPARE(form->fieldList(TableList::Second)->entries(), QStringList());
        QCOMPARE(loginShown, 0);
        QVERIFY(form->isVisible());
        // What the run itself adds or removes needs no click.
        form->addTableListEntry(TableList::First, QStringLiteral("NEW"));
        QCOMPARE(form->tableListEntries(TableList::First), (QStringList{"NEW", "T1", "T2"}));

        form->setJoinRunning(false);
        clickEntry(form->tableList(TableList::First), QStringLiteral("T2"));
        QCOMPARE(form->fieldList(TableList::First)->entries(), QStringList{"B"});
        form->backButton()->click();
        QCOMPARE(loginShown, 1);
        QVERIFY(!form->isVisible());
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Unreachable server: one box for each table list and the window opens.
    void serverGone() {
        RecordingDialogs dialogs;
        const OracleLogin nowhere{QDir::temp().filePath(QStringLiteral("qm-no-server")),
                                  QStringLiteral("u"), QStringLiteral("p")};
        auto form = shownForm(dialogs, nowhere);
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")), (QList<int>{116, 118}));
        QCOMPARE(dialogs.shown.size(), 2);
        QVERIFY(!dialogs.shown.front().text.startsWith(QStringLiteral("\r\n")));
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Quillmere Software"));
    }

    // "Next >" loads the set-up window twice on its first press and once on
    // each later one; "< Back" returns with the fields as they were; closing
    // the set-up window ends the event loop.
    void windowFlow() {
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"T1\" (\"C\" integer, \"A\" integer)"));
        setCatalogueReadable(owner, false);
        RecordingDialogs dialogs;
        WindowFlow flow(m_programFolder.path(), dialogs);
        flow.start();
        Form1& login = flow.loginWindow();
        QVERIFY(!flow.setupWindow());
        login.sidField()->setText(owner.login().sid);
        login.userField()->setText(owner.name());
        login.passwordField()->setText(owner.password());
        auto* next = login.findChild<QPushButton*>(QStringLiteral("PushButton3"));

        next->click();
        Form2* form = flow.setupWindow();
        QVERIFY(form);
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")),
                 (QList<int>{116, 118, 116, 118}));
        QVERIFY(form->isVisible());
        QVERIFY(!login.isVisible());

        setCatalogueReadable(owner, true);
        dialogs.shown.clear();
        form->backButton()->click();
        QVERIFY(login.isVisible());
        QVERIFY(!form->isVisible());
        QCOMPARE(login.login().user, owner.name());
        QCOMPARE(login.login().password, owner.password());

        next->click();
        QVERIFY(form->isVisible());
        QCOMPARE(form->tableListEntries(TableList::First), QStringList{"T1"});
        clickEntry(form->tableList(TableList::First), QStringLiteral("T1"));
        clickEntry(form->tableList(TableList::Second), QStringLiteral("T1"));
        form->fieldList(TableList::First)->setCurrentRow(0);
        form->suffixField()->setText(QStringLiteral("_dup"));

        form->backButton()->click();
        next->click();
        QCOMPARE(flow.setupWindow(), form);
        QCOMPARE(form->tableListEntries(TableList::First), QStringList{"T1"});
        QCOMPARE(form->tableListEntries(TableList::Second), QStringList{"T1"});
        QCOMPARE(form->selectedTable1(), std::nullopt);
        QCOMPARE(form->selectedTable2(), std::nullopt);
        QCOMPARE(form->fieldList(TableList::First)->entries(), (QStringList{"A", "C"}));
        QCOMPARE(form->fieldList(TableList::Second)->entries(), (QStringList{"A", "C"}));
        QCOMPARE(form->selectedField1(), QStringLiteral("A"));
        QCOMPARE(form->suffix(), QStringLiteral("_dup"));
        QVERIFY(dialogs.shown.isEmpty());

        form->backButton()->click();
        setCatalogueReadable(owner, false);
        next->click();
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")), (QList<int>{116, 118}));

        bool timedOut = false;
        QTimer::singleShot(0, form, [form] { form->close(); });
        QTimer::singleShot(10000, &login, [&] {
            timedOut = true;
            QApplication::exit(1);
        });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!timedOut);
        QVERIFY(EventYield::runsAbandoned());
    }

    // A saved login that works opens the set-up window at start, loaded once.
    void savedLoginOpensSetupWindow() {
        standin::Login owner;
        setCatalogueReadable(owner, false);
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        SettingsStore::write(SettingsStore::OraclePassword(), owner.password());
        RecordingDialogs dialogs;
        WindowFlow flow(m_programFolder.path(), dialogs);
        flow.start();
        QVERIFY(flow.setupWindow());
        QVERIFY(flow.setupWindow()->isVisible());
        QVERIFY(!flow.loginWindow().isVisible());
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")), (QList<int>{116, 118}));
    }
};

QTEST_MAIN(TestSetupWindow)
#include "test_setup_window.moc"
