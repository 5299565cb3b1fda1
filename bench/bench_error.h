#pragma once

#include <QString>
#include <stdexcept>

namespace bench {

// Every failure of the bench: the driver's or the tool's own words, ready to print.
class BenchError final : public std::runtime_error {
public:
    explicit BenchError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

}  // namespace bench
