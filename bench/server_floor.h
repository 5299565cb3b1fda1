#pragma once

#include <QString>

namespace bench {

class StandinLogin;
struct SourceTables;

// The server doing the whole job itself: the full outer join of the two
// tables made into `target`, every column as VARCHAR(2000) text, a name met
// twice given "_2".
QString ServerJoinStatement(const SourceTables& tables, const QString& target);

// psql's seconds for running `statement`, connecting included.
double ServerFloor(const StandinLogin& login, const QString& statement);

}  // namespace bench
