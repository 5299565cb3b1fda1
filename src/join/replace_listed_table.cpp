#include "join/replace_listed_table.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <optional>

#include "base/failure.h"
#include "base/run_context.h"
#include "db/connection.h"
#include "db/quoted_names.h"
#include "oracle/oracle_connection_string.h"
#include "oracle/oracle_login.h"

namespace {

Q_LOGGING_CATEGORY(lcReplace, "quillmere.join", QtInfoMsg)

// Short, for servers that allow 30 characters.
PendingOverwrite freshNames(const OracleLogin& login, const QString& name) {
    const QString tag = QStringLiteral("%1")
                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                            .toUpper();
    return {login.sid, login.user, name, QStringLiteral("QM_NEW_") + tag,
            QStringLiteral("QM_OLD_") + tag};
}

QString renameStatement(const QString& from, const QString& to) {
    return QStringLiteral("ALTER TABLE ") + OracleName(from) + QStringLiteral(" RENAME TO ") +
           OracleName(to);
}
QString dropStatement(const QString& table) {
    return QStringLiteral("DROP TABLE ") + OracleName(table);
}

void info(const QString& text) { qCInfo(lcReplace).noquote() << text; }
void warning(const QString& text) { qCWarning(lcReplace).noquote() << text; }

}  // namespace

qint64 OverwriteCutShort(const OverwriteState& state, qint64 written) {
    const QString listed = OracleName(state.tables.listed);
    const QString incoming = OracleName(state.tables.incoming);
    const QString outgoing = OracleName(state.tables.outgoing);
    const QString settles = QStringLiteral("; the next run of this login settles the tables");
    switch (state.step) {
        case OverwriteStep::None:
            return written;
        case OverwriteStep::Writing:
            warning(QStringLiteral("%1 keeps its rows: the program ended while the new rows were "
                                   "written; %2 holds the %3 rows written")
                        .arg(listed, incoming, QString::number(written)) +
                    settles);
            return 0;
        case OverwriteStep::MovingOldAside:
            warning(QStringLiteral("the program ended while %1 was renamed %2: its old rows are "
                                   "under one of the two names, the new rows in %3")
                        .arg(listed, outgoing, incoming) +
                    settles);
            return 0;
        case OverwriteStep::TakingName:
            warning(QStringLiteral("the program ended while %1 was renamed %2: the new rows are "
                                   "under one of the two names, the old rows in %3")
                        .arg(incoming, listed, outgoing) +
                    settles);
            return 0;
        case OverwriteStep::DroppingOld:
            warning(QStringLiteral("%1 holds the new rows; the program ended while its old rows "
                                   "in %2 were dropped")
                        .arg(listed, outgoing) +
                    settles);
            return written;
        case OverwriteStep::PuttingBack:
            warning(QStringLiteral("the program ended while the old rows of %1 were put back "
                                   "from %2, and the new rows in %3 dropped")
                        .arg(listed, outgoing, incoming) +
                    settles);
            return 0;
    }
    return 0;
}

ListedTableReplacement::ListedTableReplacement(db::Connection& oracle, const OracleLogin& login,
                                               const QString& name, const QString& stagingPath,
                                               OverwriteState& state)
    : m_oracle(oracle), m_record(stagingPath), m_state(state) {
    m_state = {freshNames(login, name), OverwriteStep::None};
}

void ListedTableReplacement::begin() {
    m_record.add(m_state.tables);
    m_state.step = OverwriteStep::Writing;
    info(QStringLiteral("overwriting %1: the new rows are written into %2, and %1 keeps its rows "
                        "until %2 is whole")
             .arg(OracleName(m_state.tables.listed), OracleName(m_state.tables.incoming)));
}

void ListedTableReplacement::replace() {
    const PendingOverwrite& t = m_state.tables;
    const QString listed = OracleName(t.listed);
    std::exception_ptr moveFailure;
    m_state.step = OverwriteStep::MovingOldAside;
    const bool moved = run(renameStatement(t.listed, t.outgoing), &moveFailure);
    if (moved)
        info(QStringLiteral("%1 keeps its old rows as %2 while %3 takes its name")
                 .arg(listed, OracleName(t.outgoing), OracleName(t.incoming)));
    std::exception_ptr failure;
    m_state.step = OverwriteStep::TakingName;
    if (!run(renameStatement(t.incoming, t.listed), &failure)) {
        putBack(moved, false);
        std::rethrow_exception(moveFailure ? moveFailure : failure);
    }
    m_state.step = OverwriteStep::DroppingOld;
    if (moved && !run(dropStatement(t.outgoing), &failure)) {
        // Something depends on the old table: it stays, under its name.
        putBack(moved, true);
        std::rethrow_exception(failure);
    }
    m_named = true;
    info(QStringLiteral("%1 now holds the new rows").arg(listed));
    settled();
    if (moveFailure) std::rethrow_exception(moveFailure);
}

QString ListedTableReplacement::keep(const QString& why, bool connectionLost) {
    const PendingOverwrite& t = m_state.tables;
    const QString listed = OracleName(t.listed);
    const QString incoming = OracleName(t.incoming);
    QString kept = QStringLiteral("%1 keeps its old rows: %2.").arg(t.listed, why);
    if (!connectionLost && run(dropStatement(t.incoming))) {
        info(QStringLiteral("%1 keeps its rows: %2; %3 is dropped").arg(listed, why, incoming));
        settled();
        return kept;
    }
    warning(QStringLiteral("%1 keeps its rows: %2; the new rows written are left in %3 until the "
                           "next run of this login drops it")
                .arg(listed, why, incoming));
    m_state.step = OverwriteStep::None;
    return kept;
}

// Undoes the moves: the new table leaves the name (when it took it), the old
// one comes back (when it left), and the new one is dropped. Each step is
// tried alone, and the log tells where each table is once it is known.
void ListedTableReplacement::putBack(bool moved, bool newHasTheName) {
    const PendingOverwrite& t = m_state.tables;
    const QString listed = OracleName(t.listed);
    const QString incoming = OracleName(t.incoming);
    const QString outgoing = OracleName(t.outgoing);
    m_state.step = OverwriteStep::PuttingBack;
    if (newHasTheName && !run(renameStatement(t.listed, t.incoming))) {
        warning(QStringLiteral("%1 holds the new rows, and its old rows are kept in %2")
                    .arg(listed, outgoing));
        m_state.step = OverwriteStep::None;
        return;
    }
    const bool oldBack = !moved || run(renameStatement(t.outgoing, t.listed));
    if (moved && oldBack) info(QStringLiteral("%1 holds its old rows again").arg(listed));
    if (!oldBack)
        warning(QStringLiteral("the old rows of %1 are kept in %2").arg(listed, outgoing));
    const bool newGone = run(dropStatement(t.incoming));
    if (!newGone)
        warning(QStringLiteral("the new rows meant for %1 are left in %2").arg(listed, incoming));
    if (oldBack && newGone)
        settled();
    else
        m_state.step = OverwriteStep::None;
}

bool ListedTableReplacement::run(const QString& statement, std::exception_ptr* failure) {
    try {
        m_oracle.executeToEnd(statement);
        return true;
    } catch (const Failure&) {
        if (failure) *failure = std::current_exception();
        return false;
    }
}

// Nothing of the overwrite is left under a name of its own.
void ListedTableReplacement::settled() {
    m_state.step = OverwriteStep::None;
    try {
        m_record.remove(m_state.tables);
    } catch (const Failure& failure) {
        warning(failure.description());
    }
}

namespace {

// Settles one overwrite's tables.
void settle(db::Connection& oracle, const PendingOverwrite& t) {
    const auto exists = [&](const QString& name) {
        db::ResultSet found =
            oracle.query(QStringLiteral("SELECT table_name FROM user_tables WHERE table_name = ") +
                         QuotedText(name));
        return found.next();
    };
    const QString listed = OracleName(t.listed);
    const QString incoming = OracleName(t.incoming);
    const QString outgoing = OracleName(t.outgoing);
    const bool newLeft = exists(t.incoming);
    if (exists(t.outgoing)) {
        if (!exists(t.listed)) {
            oracle.executeToEnd(renameStatement(t.outgoing, t.listed));
            info(QStringLiteral("an earlier run was cut short: %1 holds its old rows again, "
                                "from %2")
                     .arg(listed, outgoing));
        } else if (!newLeft) {
            // The new table took the name before the run ended.
            oracle.executeToEnd(dropStatement(t.outgoing));
            info(QStringLiteral("an earlier run was cut short: %1 holds the new rows, and its "
                                "old rows in %2 are dropped")
                     .arg(listed, outgoing));
        } else {
            // A table was made under the listed name since: the old rows stay
            // where they are, for the user to judge.
            warning(QStringLiteral("an earlier run was cut short: the old rows of %1 are kept "
                                   "in %2, since a table named %1 was made meanwhile")
                        .arg(listed, outgoing));
        }
    }
    if (newLeft) {
        oracle.executeToEnd(dropStatement(t.incoming));
        info(QStringLiteral("an earlier run was cut short: %1, the unfinished new rows for %2, "
                            "is dropped")
                 .arg(incoming, listed));
    }
}

}  // namespace

void SettleInterruptedOverwrites(const OracleLogin& login, const QString& stagingPath,
                                 RunContext* context) {
    OverwriteRecord record(stagingPath);
    QList<PendingOverwrite> mine;
    for (const PendingOverwrite& overwrite : record.read())
        if (overwrite.sameLogin(login.sid, login.user)) mine << overwrite;
    if (mine.isEmpty()) return;
    try {
        db::Connection oracle;
        oracle.setRunContext(context);
        oracle.open(OracleConnectionString(login));
        for (const PendingOverwrite& overwrite : mine) {
            settle(oracle, overwrite);
            record.remove(overwrite);
        }
    } catch (const Failure& failure) {
        warning(QStringLiteral("the tables an earlier run left are not settled: ") +
                failure.description());
    } catch (const RunAbandoned&) {
        // The program is ending: the record stays for the next run.
    }
}
