#pragma once

#include <QString>

// What one run of the program is given: the login, the two tables and their
// join fields as chosen in the set-up window, the answer to the new-table
// prompt, and an empty folder for the program's staging file. The bench makes
// it; the program's run (program_run.cpp) reads it in a child process.
struct BenchSetup {
    QString sid;
    QString user;
    QString password;
    QString table1;
    QString field1;
    QString table2;
    QString field2;
    QString suffix;         // added to a result column name already taken
    QString resultTable;    // the name typed at the prompt; not on the server yet
    QString programFolder;  // empty, so temp.mdb starts fresh
    qint64 rowsPerTable = 0;
};

namespace bench {

void SaveSetup(const BenchSetup& setup, const QString& path);
BenchSetup LoadSetup(const QString& path);

}  // namespace bench
