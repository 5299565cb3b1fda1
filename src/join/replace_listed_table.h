#pragma once

#include <QString>
#include <QtGlobal>
#include <exception>

#include "join/overwrite_record.h"

namespace db {
class Connection;
}
struct OracleLogin;
class RunContext;

// Where an overwrite stands: which of its moves is under way.
enum class OverwriteStep {
    None,            // no overwrite, or one that is settled
    Writing,         // the new rows go under the incoming name
    MovingOldAside,  // the listed table is being renamed to the outgoing name
    TakingName,      // the incoming table is being renamed to the listed name
    DroppingOld,     // the listed name holds the new rows; the outgoing table is dropped
    PuttingBack,     // the moves are being undone
};

// An overwrite's names and step, as the log needs them when the program ends
// in the middle of it.
struct OverwriteState {
    PendingOverwrite tables;
    OverwriteStep step = OverwriteStep::None;
};

// Logs where an overwrite's rows are when the program ends at its step, with
// no unwinding; the rows written under the listed name, which are 0 unless
// the new table had surely taken it.
qint64 OverwriteCutShort(const OverwriteState& state, qint64 written);

// Overwriting a listed table without ever losing it. The new rows are
// written under a name of their own (incoming()), recorded beside the
// staging file before that table is made; the old table leaves the name only
// once the new one holds every row, and at every moment the listed name
// holds either the old rows or the new ones, but while a rename runs. Every
// statement that moves or drops a table runs to its end even when the
// program is ending.
class ListedTableReplacement final {
public:
    // Fresh names for the tables; state follows the overwrite from here on.
    ListedTableReplacement(db::Connection& oracle, const OracleLogin& login, const QString& name,
                           const QString& stagingPath, OverwriteState& state);

    // The quoted-free name the new rows are written under.
    const QString& incoming() const { return m_state.tables.incoming; }

    // Records the names, before the incoming table is made; throws Failure
    // when they cannot be recorded.
    void begin();

    // The incoming table could not be made: nothing of the overwrite is on
    // the server.
    void nothingMade() { settled(); }

    // The new table, holding every row, takes the listed name, and the old
    // one is dropped. A failure undoes the moves made and is thrown for the
    // error box; a listed name with no table behind it is taken all the
    // same, and its failure thrown.
    void replace();
    // Whether the new table has the listed name.
    bool named() const { return m_named; }

    // The new table lacks rows (why says how it ended): it goes, and the
    // listed table keeps its rows. A lost connection takes no statement: the
    // next run settles the tables. Returns the text that tells the user so.
    QString keep(const QString& why, bool connectionLost);

private:
    bool run(const QString& statement, std::exception_ptr* failure = nullptr);
    void putBack(bool moved, bool newHasTheName);
    void settled();

    db::Connection& m_oracle;
    OverwriteRecord m_record;
    OverwriteState& m_state;
    bool m_named = false;
};

// Settles what earlier runs of this login left on the server: an old table
// whose listed name is gone takes it back, an old table whose listed name
// holds its new rows is dropped, and an unfinished new table is dropped.
// Only the names in the record are touched; each action is logged, and a
// failure is logged and leaves its entry for the next run.
void SettleInterruptedOverwrites(const OracleLogin& login, const QString& stagingPath,
                                 RunContext* context);
