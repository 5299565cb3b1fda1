#pragma once

#include <QString>

namespace bench {

class OdbcConnection;
struct SourceTables;

// The program's table beside the server's own full outer join of the two
// source tables, as multisets of rows compared by position, every value as
// text and an empty text as NULL (as the program writes it).
struct ContentCheck {
    qint64 joinRows = 0;
    qint64 tableRows = 0;
    qint64 onlyInJoin = 0;   // rows of the join the table lacks, repeats counted
    qint64 onlyInTable = 0;  // rows of the table the join has not
    bool same() const { return onlyInJoin == 0 && onlyInTable == 0; }
};

ContentCheck CheckContent(const OdbcConnection& server, const SourceTables& tables,
                          const QString& resultTable);

}  // namespace bench
