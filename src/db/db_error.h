#pragma once

#include <optional>

#include "base/failure.h"

// A failure reported by a database engine. The description is the engine's
// own message text; the state and native code stay beside it for code that
// needs to tell failures apart.
class DbError final : public Failure {
public:
    // linkLost: whether the driver itself says the link is gone (its answer,
    // right after the failure, when asked whether its connection is dead, or
    // a later diagnostic record whose codes name a lost link), or no answer.
    // The connection counts as lost when linkLost says so or the state and
    // native codes name a lost link.
    DbError(QString description, QString state = {}, long nativeCode = 0,
            std::optional<bool> linkLost = std::nullopt);

    const QString& state() const noexcept { return m_state; }
    long nativeCode() const noexcept { return m_nativeCode; }

    // "SQLSTATE: <state>", "Native code: <code>" and "Message: <description>",
    // one to a line; a state the engine does not give shows as "-".
    QString details() const override;

    // True when the failure means the connection is gone: nothing more will
    // get through it.
    bool connectionLost() const noexcept { return m_connectionLost; }

    // Whether a diagnostic's state and native code say the link is gone: the
    // connection exception class, a server that ended the session (57P01),
    // or one of Oracle's lost-link errors (the smaller of which only when
    // the message names it, as other drivers use small numbers too).
    static bool codesNameALostLink(const QString& state, long nativeCode, const QString& message);

private:
    QString m_state;
    long m_nativeCode;
    bool m_connectionLost;
};
