#pragma once

#include <QStringList>
#include <utility>

#include "support/standin.h"

// Tables "A" and "B" of one row each: an "ID" column, the given number of
// one-character columns more ("A0", "A1", … and "B0", …), and, when shared
// is given, a column of that name in both, so the join suffixes it.
inline void MakeWideTables(const standin::Login& owner, int columnsA, int columnsB,
                           const QString& shared) {
    for (const auto& [table, extra] :
         {std::pair{QStringLiteral("A"), columnsA}, std::pair{QStringLiteral("B"), columnsB}}) {
        QStringList columns{QStringLiteral(R"("ID" varchar(10))")};
        for (int i = 0; i < extra; ++i)
            columns << QStringLiteral(R"("%1%2" varchar(1))").arg(table, QString::number(i));
        if (!shared.isEmpty()) columns << QStringLiteral(R"("%1" varchar(1))").arg(shared);
        owner.exec(QStringLiteral(R"(CREATE TABLE "%1" (%2))").arg(table, columns.join(u',')));
        owner.exec(QStringLiteral(R"(INSERT INTO "%1" ("ID") VALUES ('1'))").arg(table));
    }
}
