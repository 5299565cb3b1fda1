// The driver calls the program makes while it waits on the server, each
// wrapped at link time (--wrap in CMakeLists.txt) to tell the event-loop
// monitor its name before it goes on to the driver manager.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "event_loop_monitor.h"

// The names are the linker's: --wrap=F sends calls of F to __wrap_F, and
// __real_F to F itself.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {

decltype(SQLDriverConnectW) __real_SQLDriverConnectW;
decltype(SQLExecDirectW) __real_SQLExecDirectW;
decltype(SQLPrepareW) __real_SQLPrepareW;
decltype(SQLExecute) __real_SQLExecute;
decltype(SQLFetch) __real_SQLFetch;
decltype(SQLEndTran) __real_SQLEndTran;
decltype(SQLFreeStmt) __real_SQLFreeStmt;
decltype(SQLFreeHandle) __real_SQLFreeHandle;
decltype(SQLDisconnect) __real_SQLDisconnect;

SQLRETURN __wrap_SQLDriverConnectW(SQLHDBC dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength,
                                   SQLWCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                                   SQLUSMALLINT completion) {
    BenchDriverFunction("SQLDriverConnect");
    return __real_SQLDriverConnectW(dbc, window, in, inLength, out, outCapacity, outLength,
                                    completion);
}

SQLRETURN __wrap_SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    BenchDriverFunction("SQLExecDirect");
    return __real_SQLExecDirectW(statement, text, length);
}

SQLRETURN __wrap_SQLPrepareW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    BenchDriverFunction("SQLPrepare");
    return __real_SQLPrepareW(statement, text, length);
}

SQLRETURN __wrap_SQLExecute(SQLHSTMT statement) {
    BenchDriverFunction("SQLExecute");
    return __real_SQLExecute(statement);
}

SQLRETURN __wrap_SQLFetch(SQLHSTMT statement) {
    BenchDriverFunction("SQLFetch");
    return __real_SQLFetch(statement);
}

SQLRETURN __wrap_SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
    BenchDriverFunction("SQLEndTran");
    return __real_SQLEndTran(type, handle, completion);
}

SQLRETURN __wrap_SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) {
    BenchDriverFunction("SQLFreeStmt");
    return __real_SQLFreeStmt(statement, option);
}

SQLRETURN __wrap_SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    BenchDriverFunction("SQLFreeHandle");
    return __real_SQLFreeHandle(type, handle);
}

SQLRETURN __wrap_SQLDisconnect(SQLHDBC dbc) {
    BenchDriverFunction("SQLDisconnect");
    return __real_SQLDisconnect(dbc);
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier)
