#include "db/db_error.h"

#include <array>

namespace {
// Oracle's driver reports a broken link mostly as a general error (HY000)
// carrying one of these ORA numbers.
constexpr std::array<long, 3> LostLinkOraNumbers = {3113, 3114, 3135};

// The connection exception class, a server that ended the session (57P01),
// or one of Oracle's lost-link errors.
bool codesSayLost(const QString& description, const QString& state, long nativeCode) {
    if (state.startsWith(QStringLiteral("08")) || state == QStringLiteral("57P01")) return true;
    for (const long number : LostLinkOraNumbers) {
        if (nativeCode == number) return true;
        if (description.contains(QStringLiteral("ORA-%1").arg(number, 5, 10, QLatin1Char('0'))))
            return true;
    }
    return false;
}
}  // namespace

DbError::DbError(QString description, QString state, long nativeCode, std::optional<bool> linkLost)
    : Failure(std::move(description)),
      m_state(std::move(state)),
      m_nativeCode(nativeCode),
      // Either says so: a driver may still call its connection alive after
      // a communication link failure.
      m_connectionLost((linkLost && *linkLost) ||
                       codesSayLost(this->description(), m_state, m_nativeCode)) {}
