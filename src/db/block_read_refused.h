#pragma once

#include "base/failure.h"

namespace db {

// Thrown by a read whose driver, having fetched a block of rows, would not
// read a value of one of them again (a value longer than its buffer): the
// rows delivered before are whole, but the rest cannot come this way. The
// same query run again on that connection reads one row at a time, which
// every driver can.
class BlockReadRefused final : public Failure {
public:
    using Failure::Failure;
};

}  // namespace db
