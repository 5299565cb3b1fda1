#pragma once

#include "base/failure.h"

// A failure reported by a database engine. The description is the engine's
// own message text; the state and native code stay beside it for code that
// needs to tell failures apart.
class DbError final : public Failure {
public:
    DbError(QString description, QString state = {}, long nativeCode = 0)
        : Failure(std::move(description)), m_state(std::move(state)), m_nativeCode(nativeCode) {}

    const QString& state() const noexcept { return m_state; }
    long nativeCode() const noexcept { return m_nativeCode; }

    // True when the failure means the connection is gone: nothing more will
    // get through it.
    bool connectionLost() const noexcept { return m_state.startsWith(QStringLiteral("08")); }

private:
    QString m_state;
    long m_nativeCode;
};
