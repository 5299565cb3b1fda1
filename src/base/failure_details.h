#pragma once

#include <QString>
#include <exception>

// What a box that reports a failure shows as its details: the failure in full
// (a driver's SQLSTATE and native code beside its message) and the path of the
// log file, when one is being written. It holds only the failure's own text,
// never a connection string: texts that could carry a password are cleaned
// where they are made.
QString FailureDetails(const std::exception& error);
