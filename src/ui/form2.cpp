#include "ui/form2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>

#include "base/error_message.h"
#include "base/event_loop_run_context.h"
#include "base/file_exists.h"
#include "base/product.h"
#include "base/program_files.h"
#include "base/trapped_handler.h"
#include "oracle/list_oracle_tables.h"
#include "oracle/list_table_fields.h"
#include "ui/apply_skin.h"
#include "ui/designed_controls.h"
#include "ui/form2_lines.h"
#include "ui/pointer_image.h"
#include "ui/pointer_rule.h"
#include "ui/program_icon.h"
#include "ui/sorted_list_box.h"
#include "ui/twips.h"

Form2::Form2(QString programFolder, Dialogs& dialogs, std::function<OracleLogin()> login,
             EventLoopRunContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_programFolder(std::move(programFolder)),
      m_dialogs(dialogs),
      m_context(context),
      m_login(std::move(login)) {
    setObjectName(QStringLiteral("Form2"));
    setAccessibleName(ProductTitle());
    setFixedSize(Twips(6360), Twips(6285));
    buildControls();
}

void Form2::buildControls() {
    auto frame = [this](const char* name, const QString& caption, QRect geometry) {
        return DesignedFrame(this, name, caption, geometry);
    };
    // Labels have a place but no size of their own: each is as large as its text.
    auto label = [](QWidget* parent, const char* name, const QString& caption, int left, int top) {
        QLabel* text = DesignedLabel(parent, name, caption);
        text->move(Twips(left), Twips(top));
        text->adjustSize();
        return text;
    };
    auto list = [](QWidget* parent, const char* name, QLabel* caption, QRect geometry) {
        auto* box = new SortedListBox(parent);
        box->setObjectName(QString::fromLatin1(name));
        box->setFont(ControlFont());
        box->setGeometry(geometry);
        NameAfterLabel(box, caption);
        return box;
    };
    auto button = [this](const char* name, const QString& caption, QRect geometry) {
        return DesignedButton(this, name, caption, geometry);
    };
    const QString selectTable = QStringLiteral("Select Table to Join");
    const QString selectField = QStringLiteral("Select Common Field to Join By:");

    m_frame3 = frame("Frame3", QStringLiteral("Oracle #1"), TwipsRect(120, 120, 6120, 2055));
    m_list1 = list(m_frame3, "List1", label(m_frame3, "Label1", selectTable, 240, 300),
                   TwipsRect(240, 600, 2730, 1185));
    m_list2 = list(m_frame3, "List2", label(m_frame3, "Label2", selectField, 3120, 300),
                   TwipsRect(3120, 600, 2730, 1185));

    m_frame1 = frame("Frame1", QStringLiteral("Oracle #2"), TwipsRect(120, 2200, 6120, 2055));
    m_list3 = list(m_frame1, "List3", label(m_frame1, "Label3", selectTable, 240, 300),
                   TwipsRect(240, 600, 2730, 1185));
    m_list4 = list(m_frame1, "List4", label(m_frame1, "Label4", selectField, 3120, 300),
                   TwipsRect(3120, 600, 2730, 1185));

    m_frame2 = frame("Frame2", QStringLiteral("Options"), TwipsRect(120, 4300, 6120, 855));
    auto* suffixLabel =
        label(m_frame2, "Label5",
              QStringLiteral("Duplicate field names will have this text added to end:"), 240, 360);
    m_text1 = new QLineEdit(QStringLiteral("1"), m_frame2);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setFont(ControlFont());
    m_text1->setGeometry(TwipsRect(5040, 330, 855, 330));
    NameAfterLabel(m_text1, suffixLabel);

    m_pushButton5 =
        button("PushButton5", QStringLiteral("< Back"), TwipsRect(120, 5250, 1680, 405));
    m_pushButton2 =
        button("PushButton2", QStringLiteral("Start Joining"), TwipsRect(1920, 5250, 4320, 405));

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(TwipsRect(120, 5760, 6120, 405));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setAccessibleName(QStringLiteral("Progress"));

    new PointerRule(*this, m_pointer, {m_pushButton5, m_pushButton2},
                    {m_frame3, m_frame1, m_frame2, m_list1, m_list3});

    connect(m_list1, &SortedListBox::clickedByUser, this,
            [this] { onTableListClicked(TableList::First); });
    connect(m_list3, &SortedListBox::clickedByUser, this,
            [this] { onTableListClicked(TableList::Second); });
    connect(m_pushButton5, &QPushButton::clicked, this, &Form2::onBack);
    connect(m_pushButton2, &QPushButton::clicked, this, &Form2::onStartJoining);
}

void Form2::load() {
    // A load started while an older one yields (the user went back and on
    // again, maybe with another login) overtakes it, below.
    if (m_listing || m_joinRunning) return;
    const QScopedValueRollback loading(m_loading, true);
    const quint64 loadNumber = ++m_loadCount;
    TrappedHandler handler(LocationText(QStringLiteral("Form2"), QStringLiteral("Form_Load")),
                           m_dialogs, &m_context);
    handler.step(SetupWindowLoadLine::SetColours, [&] { SetSystemColours(*this); });
    handler.step(SetupWindowLoadLine::SetIcon, [&] { setWindowIcon(ProgramIcon()); });
    const QString pointerFile = HandPointerFile(m_programFolder);
    if (handler.test(SetupWindowLoadLine::TestPointerFile, [&] { return FileExists(pointerFile); }))
        handler.step(SetupWindowLoadLine::LoadPointer,
                     [&] { m_pointer.setImage(LoadPointerImage(pointerFile)); });
    handler.step(SetupWindowLoadLine::SetCaption, [&] { setWindowTitle(ProductTitle()); });
    handler.step(SetupWindowLoadLine::ClearList1, [&] { m_list1->clearEntries(); });
    handler.step(SetupWindowLoadLine::ClearList3, [&] { m_list3->clearEntries(); });
    // A newer load that ran while this one was yielding (the user went back
    // and on again) has filled the lists anew: this one adds nothing more.
    const auto fill = [&](SortedListBox* list) {
        ListOracleTables(
            login(),
            [&](const QString& name) {
                if (loadNumber != m_loadCount) return false;
                list->addEntry(name);
                return true;
            },
            m_context);
    };
    if (loadNumber == m_loadCount)
        handler.step(SetupWindowLoadLine::FillList1, [&] { fill(m_list1); });
    if (loadNumber == m_loadCount)
        handler.step(SetupWindowLoadLine::FillList3, [&] { fill(m_list3); });
}

void Form2::onTableListClicked(TableList list) {
    // Listing fields never yields, so a click during the load (which only
    // fills the table lists) runs at once and cannot be overtaken by it.
    if (m_listing || m_joinRunning) return;
    const QScopedValueRollback listing(m_listing, true);
    const std::optional<QString> table = tableList(list)->selectedEntry();
    if (!table) return;
    const QString handler =
        list == TableList::First ? QStringLiteral("List1_Click") : QStringLiteral("List3_Click");
    ListTableFields(handler, login(), *table, *fieldList(list), m_pointer, m_dialogs);
}

void Form2::onBack() {
    if (m_joinRunning) return;
    TrappedHandler handler(
        LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton5_Click")), m_dialogs,
        &m_context);
    handler.step(BackLine::ShowLoginWindow, [&] {
        if (m_showLoginWindow) m_showLoginWindow();
    });
    handler.step(BackLine::HideSetupWindow, [&] { hide(); });
}

void Form2::onStartJoining() {
    if (longOperationRunning()) return;
    if (m_startJoining) m_startJoining();
}

SortedListBox* Form2::tableList(TableList list) const {
    return list == TableList::First ? m_list1 : m_list3;
}
SortedListBox* Form2::fieldList(TableList list) const {
    return list == TableList::First ? m_list2 : m_list4;
}

std::optional<QString> Form2::selectedTable1() const { return m_list1->selectedEntry(); }
std::optional<QString> Form2::selectedField1() const { return m_list2->selectedEntry(); }
std::optional<QString> Form2::selectedTable2() const { return m_list3->selectedEntry(); }
std::optional<QString> Form2::selectedField2() const { return m_list4->selectedEntry(); }
QString Form2::suffix() const { return m_text1->text(); }
OracleLogin Form2::login() const { return m_login ? m_login() : OracleLogin{}; }

QStringList Form2::tableListEntries(TableList list) const { return tableList(list)->entries(); }
void Form2::removeTableListEntry(TableList list, int index) {
    tableList(list)->removeEntryAt(index);
}
void Form2::addTableListEntry(TableList list, const QString& name) {
    tableList(list)->addEntry(name);
}

void Form2::setProgress(int value) { m_progressBar1->setValue(value); }

void Form2::setJoinRunning(bool running) {
    m_joinRunning = running;
    m_list1->setFrozen(running);
    m_list3->setFrozen(running);
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing this window ends the program, though the login window is only
    // hidden; a run that is yielding stops at its next yield.
    m_context.abandon();
    QApplication::quit();
}
