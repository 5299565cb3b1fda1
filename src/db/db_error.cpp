#include "db/db_error.h"

#include <algorithm>
#include <array>

namespace {
// Oracle's driver reports a broken link mostly as a general error (HY000)
// carrying one of these ORA numbers.
constexpr std::array<long, 3> LostLinkOraNumbers = {3113, 3114, 3135};

}  // namespace

// Only the codes count, never the message: a value quoted in a message may
// carry any text, an ORA number among it.
bool DbError::codesNameALostLink(const QString& state, long nativeCode) {
    if (state.startsWith(QStringLiteral("08")) || state == QStringLiteral("57P01")) return true;
    return std::find(LostLinkOraNumbers.begin(), LostLinkOraNumbers.end(), nativeCode) !=
           LostLinkOraNumbers.end();
}

QString DbError::details() const {
    return QStringLiteral("SQLSTATE: ") + (m_state.isEmpty() ? QStringLiteral("-") : m_state) +
           QStringLiteral("\nNative code: ") + QString::number(m_nativeCode) +
           QStringLiteral("\nMessage: ") + description();
}

DbError::DbError(QString description, QString state, long nativeCode, std::optional<bool> linkLost)
    : Failure(std::move(description)),
      m_state(std::move(state)),
      m_nativeCode(nativeCode),
      // Either says so: a driver may still call its connection alive after
      // a communication link failure.
      m_connectionLost((linkLost && *linkLost) || codesNameALostLink(m_state, m_nativeCode)) {}
