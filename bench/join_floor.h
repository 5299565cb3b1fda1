#pragma once

#include <QString>

namespace bench {

// The staging file the join starts from: Table1 from `first` and Table2 from
// `second` (files the copy floor wrote) in one new file at `target`.
void MergeStagingFiles(const QString& first, const QString& second, const QString& target);

struct JoinFloorInput {
    QString shell;            // the sqlite3 command-line shell
    QString stagingTemplate;  // Table1 and Table2, left untouched
    QString workFile;         // the copy the floor works on; replaced each run
    QString field1;           // the join field of Table1
    QString field2;           // the join field of Table2
};

// The floor of indexing, joining and staging: the sqlite3 shell, on a fresh
// copy of the staging file, making an index on each join field and the joined
// rows as table `r` by CREATE TABLE AS, into the file's write-ahead log.
// Returns the shell's seconds; the copy and the log's folding into the file
// afterwards are not timed.
double JoinFloor(const JoinFloorInput& input);

// The table JoinFloor leaves the joined rows in.
QString JoinFloorTable();

}  // namespace bench
