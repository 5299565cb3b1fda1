#pragma once

#include <QWidget>
#include <functional>

#include "join/join_window.h"
#include "ui/widget_pointer.h"

class Dialogs;
class EventLoopRunContext;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class SortedListBox;

// The join set-up window: the first table and its join field, the second
// table and its join field, the suffix for duplicate field names, "< Back",
// "Start Joining" and the join's progress.
class Form2 final : public QWidget, public JoinWindow {
public:
    // login reads the login window's fields as they stand at each call.
    // Closing the window abandons whatever runs in the run context.
    Form2(QString programFolder, Dialogs& dialogs, std::function<OracleLogin()> login,
          EventLoopRunContext& context, QWidget* parent = nullptr);

    // The load step: look, icon, pointer image, caption, and both table lists
    // emptied and filled anew. The field lists and the suffix stay.
    void load();

    // What "< Back" does before this window hides itself.
    void setShowLoginWindow(std::function<void()> show) { m_showLoginWindow = std::move(show); }
    // What "Start Joining" runs; nothing while unset.
    void setStartJoining(std::function<void()> start) { m_startJoining = std::move(start); }

    SortedListBox* tableList(TableList list) const;
    SortedListBox* fieldList(TableList list) const;
    QLineEdit* suffixField() const { return m_text1; }
    QProgressBar* progressBar() const { return m_progressBar1; }
    QPushButton* backButton() const { return m_pushButton5; }
    QPushButton* startJoiningButton() const { return m_pushButton2; }
    const QString& programFolder() const { return m_programFolder; }

    // What the join run reads and drives.
    std::optional<QString> selectedTable1() const override;
    std::optional<QString> selectedField1() const override;
    std::optional<QString> selectedTable2() const override;
    std::optional<QString> selectedField2() const override;
    QString suffix() const override;
    OracleLogin login() const override;
    QStringList tableListEntries(TableList list) const override;
    void removeTableListEntry(TableList list, int index) override;
    void addTableListEntry(TableList list, const QString& name) override;
    // ProgressBar1, 0 to 100.
    void setProgress(int value);
    EventLoopRunContext& runContext() const { return m_context; }
    WidgetPointer& pointer() override { return m_pointer; }
    void setJoinRunning(bool running) override;
    bool joinRunning() const override { return m_joinRunning; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void onTableListClicked(TableList list);
    void onBack();
    void onStartJoining();

    QString m_programFolder;
    Dialogs& m_dialogs;
    EventLoopRunContext& m_context;
    std::function<OracleLogin()> m_login;
    std::function<void()> m_showLoginWindow;
    std::function<void()> m_startJoining;
    // True while a long operation is under way, one of which may yield
    // (letting clicks in). One started meanwhile is ignored, so none runs
    // nested inside another; only a newer load overtakes a load, and a table
    // list's click, which never yields, runs during a load.
    bool longOperationRunning() const { return m_loading || m_listing || m_joinRunning; }

    WidgetPointer m_pointer{*this};
    bool m_loading = false;
    bool m_listing = false;
    bool m_joinRunning = false;
    // Counts load steps, so a load that a newer one overtook while it was
    // yielding stops filling lists that the newer one has filled.
    quint64 m_loadCount = 0;

    QGroupBox* m_frame3 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    SortedListBox* m_list1 = nullptr;
    SortedListBox* m_list2 = nullptr;
    SortedListBox* m_list3 = nullptr;
    SortedListBox* m_list4 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_pushButton5 = nullptr;
    QPushButton* m_pushButton2 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
};
