#include "db/server_call.h"

namespace db {
namespace odbc {

ServerCall::ServerCall(const Handle& handle) noexcept : m_context(handle.runContext()) {
    if (!m_context) return;
    try {
        m_context->serverCallStarted();
    } catch (...) {
    }
}

ServerCall::~ServerCall() {
    if (!m_context) return;
    try {
        m_context->serverCallEnded();
    } catch (...) {
    }
}

}  // namespace odbc
}  // namespace db
