#pragma once

#include <QString>
#include <QtGlobal>

#include "join/join_choice.h"

class Dialogs;
class JoinWindow;
class RunContext;
class TrappedHandler;

// How many staged rows reached the new Oracle table under its name; both 0
// when no table was made, and none written when an overwritten table kept
// its place.
struct WrittenRows {
    qint64 staged = 0;
    qint64 written = 0;
    qint64 missing() const { return staged - written; }
    // While an overwrite's rows go under a name of their own: the listed
    // table's name and that one's, quoted.
    QString listed, incoming;
};

// The program ends while the rows are written, with no unwinding: rows
// written for an overwrite are not under the listed name, so where they are
// is logged and none count as written.
void WritingCutShort(WrittenRows& rows);

// The run's second phase: the staged result table becomes a new Oracle table
// with VARCHAR(2000) columns, after asking to overwrite a listed one. Nothing
// is written when a connection or the staged table cannot be opened, or when
// the Oracle table cannot be made. A listed table is overwritten by writing
// the new rows under a name of their own and swapping the tables once every
// row has been tried: until then, and after any failure, it keeps its rows.
// The rows are counted into rows as they go, so a program that ends midway
// still knows what was written.
void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath, WrittenRows& rows);
