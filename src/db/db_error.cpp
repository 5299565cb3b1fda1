#include "db/db_error.h"

#include <algorithm>
#include <array>

namespace {
// Oracle's driver reports a broken link mostly as a general error (HY000)
// carrying one of these ORA numbers: the session's end as its own client
// library counts it (killed, idle too long, the network gone, the instance
// shut down).
constexpr std::array<long, 26> LostLinkOraNumbers = {
    22,   28,   31,   45,   378,  602,   603,   609,   1012,  1041,  1043,  1089,  1092,
    2396, 3113, 3114, 3122, 3135, 12153, 12537, 12547, 12570, 12583, 27146, 28511, 56600};

// Other drivers number their own errors from 1 up (psqlODBC's invalid
// cursor position is 22, its fetch out of range 31): below this, a native
// code is Oracle's only when the message names it as ORA-nnnnn, as Oracle's
// driver always does.
constexpr long FirstUnsharedOraNumber = 1000;

}  // namespace

// The codes decide, never the message alone: a value quoted in a message may
// carry any text, an ORA number among it.
bool DbError::codesNameALostLink(const QString& state, long nativeCode, const QString& message) {
    if (state.startsWith(QStringLiteral("08")) || state == QStringLiteral("57P01")) return true;
    if (std::find(LostLinkOraNumbers.begin(), LostLinkOraNumbers.end(), nativeCode) ==
        LostLinkOraNumbers.end())
        return false;
    return nativeCode >= FirstUnsharedOraNumber ||
           message.contains(QStringLiteral("ORA-%1").arg(nativeCode, 5, 10, QLatin1Char('0')));
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
      m_connectionLost((linkLost && *linkLost) ||
                       codesNameALostLink(m_state, m_nativeCode, Failure::description())) {}
