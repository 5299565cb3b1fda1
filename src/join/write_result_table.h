#pragma once

#include <QString>
#include <QtGlobal>

#include "join/join_choice.h"
#include "join/replace_listed_table.h"

class Dialogs;
class JoinWindow;
class RunContext;
class TrappedHandler;

// How many staged rows reached the new Oracle table under its name: none
// when no table was made, or when an overwritten table kept its place.
struct WrittenRows {
    qint64 staged = 0;
    qint64 written = 0;
    qint64 missing() const { return staged - written; }
    // The rows were sent: the new table was made.
    bool sent = false;
    // Why an overwritten table kept its old rows, for the user; empty when
    // it did not.
    QString oldTableKept;
    // The overwrite under way, if any.
    OverwriteState overwrite;
};

// The program ends while the rows are written or the tables swapped, with
// no unwinding: where the rows are is logged, and only rows surely under the
// listed name count as written.
void WritingCutShort(WrittenRows& rows);

// The run's second phase: the staged result table becomes a new Oracle table
// with VARCHAR(2000) columns, after asking to overwrite a listed one. Nothing
// is written when a connection or the staged table cannot be opened, or when
// the Oracle table cannot be made. A listed table is overwritten by writing
// the new rows under a name of their own and swapping the tables once every
// row has been written (see ListedTableReplacement): until then, and after
// any failure, it keeps its rows.
// The rows are counted into rows as they go, so a program that ends midway
// still knows what was written.
void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath, WrittenRows& rows);
