#include "program_run.h"

#include <QElapsedTimer>
#include <map>

#include "base/dialogs.h"
#include "base/event_loop_run_context.h"
#include "base/pointer_state.h"
#include "bench_error.h"
#include "event_loop_monitor.h"
#include "join/join_lines.h"
#include "join/join_run.h"
#include "join/join_window.h"
#include "oracle/check_oracle_login.h"

using bench::BenchError;

namespace {

// The set-up window as the run sees it, holding the bench's choices.
class BenchWindow final : public JoinWindow {
public:
    explicit BenchWindow(const BenchSetup& setup) : m_setup(setup) {}

    std::optional<QString> selectedTable1() const override { return m_setup.table1; }
    std::optional<QString> selectedField1() const override { return m_setup.field1; }
    std::optional<QString> selectedTable2() const override { return m_setup.table2; }
    std::optional<QString> selectedField2() const override { return m_setup.field2; }
    QString suffix() const override { return m_setup.suffix; }
    // The stand-in's driver holds a whole result in memory unless told to
    // stream it, as Oracle's own driver does.
    OracleLogin login() const override {
        return {m_setup.sid, m_setup.user, m_setup.password, QStringLiteral("UseDeclareFetch=1;")};
    }
    QStringList tableListEntries(TableList) const override { return {}; }
    void removeTableListEntry(TableList, int) override {}
    void addTableListEntry(TableList, const QString&) override {}
    WindowPointer& pointer() override { return m_pointer; }
    void setJoinRunning(bool running) override { m_running = running; }
    bool joinRunning() const override { return m_running; }

private:
    const BenchSetup& m_setup;
    RememberedPointer m_pointer;
    bool m_running = false;
};

// Answers the prompt with the bench's table name; any box is a failed run.
class BenchDialogs final : public Dialogs {
public:
    explicit BenchDialogs(QString answer) : m_answer(std::move(answer)) {}
    void message(const QString& text, const QString&, Icon, const QString&) override {
        shown << text;
    }
    bool askYesNo(const QString& text, const QString&) override {
        shown << text;
        return false;
    }
    std::optional<QString> prompt(const QString&, const QString&, const QString&) override {
        return m_answer;
    }
    QStringList shown;

private:
    QString m_answer;
};

// The program's own event-loop context, watched: each numbered line the run
// begins names where the run is and is stamped with the time, and each
// driver call to the server is told to the event-loop monitor, which counts
// it apart from our own code. The first call of a line that connects is the
// connecting, which the monitor reports on its own.
class WatchedRunContext final : public RunContext {
public:
    WatchedRunContext() { m_clock.start(); }
    void yield() override { m_events.yield(); }
    void setProgress(int) override {}
    bool abandoned() const override { return m_events.abandoned(); }
    bool servesWhileWaiting() const override { return m_events.servesWhileWaiting(); }
    void stepStarted(int line) override {
        BenchWhere(where(line), line);
        m_reached.emplace(line, m_clock.nsecsElapsed());
        m_connectingNext = line == JoinLine::CopyTable1 || line == JoinLine::CopyTable2 ||
                           line == JoinLine::OpenOracle;
    }
    void serverCallStarted() override {
        BenchServerCallStarted(m_connectingNext);
        m_connectingNext = false;
    }
    void serverCallEnded() override { BenchServerCallEnded(); }
    // Seconds from the start to the first time the line began.
    double at(int line) const {
        const auto found = m_reached.find(line);
        if (found == m_reached.end())
            throw BenchError(QStringLiteral("The run never reached line %1.").arg(line));
        return double(found->second) / 1e9;
    }
    double now() const { return double(m_clock.nsecsElapsed()) / 1e9; }

private:
    // Each copy runs on a connection of its own, and OpenOracle opens the
    // one the rows are written on.
    static const char* where(int line) {
        using namespace JoinLine;
        if (line < CopyTable1) return "checking the selections";
        if (line < CopyTable2) return "copying table 1";
        if (line < MakeField1Text) return "copying table 2";
        if (line < OpenStaging) return "indexing the join fields";
        if (line < AskTableName) return "opening the join";
        if (line < NameResultColumns) return "asking for the name";
        if (line < OpenOracle) return "staging the joined rows";
        if (line < OpenStagingForReading) return "connecting to the server";
        if (line < CreateOracleTable) return "opening the staged rows";
        if (line < CountStagedRows) return "creating the server's table";
        if (line < SendRows) return "counting the staged rows";
        if (line < ResetProgress) return "writing the rows to the server";
        return "ending the run";
    }

    bool m_connectingNext = false;
    EventLoopRunContext m_events;
    QElapsedTimer m_clock;
    std::map<int, qint64> m_reached;
};

}  // namespace

void LogIn(const BenchSetup& setup) {
    if (!CheckOracleLogin(BenchWindow(setup).login()))
        throw BenchError(QStringLiteral("The program cannot log in."));
}

ProgramTimings RunProgram(const BenchSetup& setup) {
    BenchWindow window(setup);
    BenchDialogs dialogs(setup.resultTable);
    WatchedRunContext context;
    PushButton2_Click(window, dialogs, context, setup.programFolder);
    const double end = context.now();
    if (!dialogs.shown.isEmpty())
        throw BenchError(QStringLiteral("The run showed: ") +
                         dialogs.shown.join(QStringLiteral(" | ")));

    ProgramTimings timings;
    timings.copyTable1 = context.at(JoinLine::CopyTable2) - context.at(JoinLine::CopyTable1);
    timings.copyTable2 = context.at(JoinLine::MakeField1Text) - context.at(JoinLine::CopyTable2);
    timings.indexesJoinStaging =
        context.at(JoinLine::OpenOracle) - context.at(JoinLine::MakeField1Text);
    timings.writeToServer = end - context.at(JoinLine::OpenOracle);
    timings.wholeRun = end;
    return timings;
}
