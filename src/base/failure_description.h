#pragma once

#include <QString>
#include <exception>

// The text the user reads for a failure: a Failure's own description (the
// driver's or the platform's words), "Out of memory" when memory ran out, and
// any other exception's own message.
QString FailureDescription(const std::exception& error);
