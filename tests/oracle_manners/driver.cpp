// An ODBC driver with Oracle's manners: unixODBC loads it as it loads any
// driver, and it passes every call on to the real driver (psqlODBC's
// Unicode driver) beneath it. Where Oracle's documented behaviour differs
// from PostgreSQL's through psqlODBC, it behaves as Oracle's database and
// its ODBC driver (libsqora) do, one place per manner, each marked
// "Oracle:". Handles are the real driver's own; what the driver keeps of
// its own hangs off them in the maps below.
//
// Settings (connection string attributes, taken out before the string goes
// on; each also read from the environment under the same name):
//   OmLostCode=3113|3114|28|2396|12570|12547  the ORA code of a lost connection
//   OmNameLimit=128|30                      the longest name, in bytes
//   OmNoBlockGetData=1                      no SQL_GD_BLOCK
//   OmNoSetPos=1                            SQLSetPos refused (HYC00)
//   OmBlockGetDataNoData=1                  SQLGetData past a block's first row: SQL_NO_DATA
//   OmNoConnectionDead=1                    SQL_ATTR_CONNECTION_DEAD refused
//   OmNoParamArrays=1                       SQL_ATTR_PARAMSET_SIZE stays 1 (01S02)
//   OmArrayStatus=untouched                 the parameter status array left as it was
//   OmArrayStopsHalfway=1                   an array runs its first half only, no error
//   OmNoLengthChecks=1                      VARCHAR lengths not checked in bytes (their
//                                           checks cost the server time per row)
//   OmGarbledTruncation=1                   a text too long for its bound buffer comes
//                                           cut, ending in U+FFFD, with a conversion
//                                           warning rather than 01004
// The real driver is the odbcinst entry's RealDriver= (the entry whose
// Driver= is this library), or OmRealDriver in the environment, or
// psqlodbcw.so where Debian puts it.
#include <dlfcn.h>
#include <glob.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "statement_text.h"

using namespace manners;

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be UTF-16");

// ---------------------------------------------------------------------------
// The real driver

std::string ownPath() {
    Dl_info info{};
    static int anchor = 0;
    if (dladdr(&anchor, &info) && info.dli_fname) return info.dli_fname;
    return {};
}

std::string realDriverPath() {
    if (const char* path = std::getenv("OmRealDriver"); path && *path) return path;
    // The odbcinst entry that names this library says which driver it wraps.
    char sections[8192] = {};
    SQLGetPrivateProfileString(nullptr, nullptr, "", sections, sizeof(sections), "odbcinst.ini");
    const std::string self = ownPath();
    for (const char* section = sections; *section; section += std::strlen(section) + 1) {
        char driver[1024] = {};
        char real[1024] = {};
        SQLGetPrivateProfileString(section, "Driver", "", driver, sizeof(driver), "odbcinst.ini");
        SQLGetPrivateProfileString(section, "RealDriver", "", real, sizeof(real), "odbcinst.ini");
        if (*real && self == driver) return real;
    }
    glob_t found{};
    std::string path;
    if (glob("/usr/lib/*/odbc/psqlodbcw.so", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
        path = found.gl_pathv[0];
    globfree(&found);
    return path;
}

void* realSymbol(const char* name) {
    static void* library = [] {
        const std::string path = realDriverPath();
        // psqlODBC calls none of its own entry points through the symbol
        // table, so this library's entry points of the same names never
        // stand in for them.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            std::fprintf(stderr, "Oracle-manners driver: cannot load the real driver %s: %s\n",
                         path.c_str(), dlerror());
        return handle;
    }();
    void* symbol = library ? dlsym(library, name) : nullptr;
    if (!symbol) {
        std::fprintf(stderr, "Oracle-manners driver: the real driver lacks %s\n", name);
        std::abort();
    }
    return symbol;
}

#define REAL(fn)                                                                         \
    ([] {                                                                                \
        static const auto function = reinterpret_cast<decltype(&::fn)>(realSymbol(#fn)); \
        return function;                                                                 \
    }())

// ---------------------------------------------------------------------------
// Settings

struct Settings {
    int lostCode = 3113;
    std::size_t nameLimit = 128;
    bool noBlockGetData = false;
    bool noSetPos = false;
    bool blockGetDataNoData = false;
    bool noConnectionDead = false;
    bool noParamArrays = false;
    bool statusUntouched = false;
    bool arraysStopHalfway = false;
    bool noLengthChecks = false;
    bool garbledTruncation = false;

    void take(const std::string& key, const std::string& value) {
        const bool on = value == "1" || value == "yes" || value == "true";
        if (key == "OmLostCode") lostCode = std::atoi(value.c_str());
        if (key == "OmNameLimit") nameLimit = std::size_t(std::atoi(value.c_str()));
        if (key == "OmNoBlockGetData") noBlockGetData = on;
        if (key == "OmNoSetPos") noSetPos = on;
        if (key == "OmBlockGetDataNoData") blockGetDataNoData = on;
        if (key == "OmNoConnectionDead") noConnectionDead = on;
        if (key == "OmNoParamArrays") noParamArrays = on;
        if (key == "OmArrayStatus") statusUntouched = value == "untouched";
        if (key == "OmArrayStopsHalfway") arraysStopHalfway = on;
        if (key == "OmNoLengthChecks") noLengthChecks = on;
        if (key == "OmGarbledTruncation") garbledTruncation = on;
    }
};

const char* const SettingNames[] = {
    "OmLostCode",           "OmNameLimit",        "OmNoBlockGetData",   "OmNoSetPos",
    "OmBlockGetDataNoData", "OmNoConnectionDead", "OmNoParamArrays",    "OmArrayStatus",
    "OmArrayStopsHalfway",  "OmNoLengthChecks",   "OmGarbledTruncation"};

bool isSetting(const std::string& key) {
    for (const char* name : SettingNames)
        if (strcasecmp(key.c_str(), name) == 0) return true;
    return false;
}

std::string canonicalSetting(const std::string& key) {
    for (const char* name : SettingNames)
        if (strcasecmp(key.c_str(), name) == 0) return name;
    return key;
}

// The settings out of a connection string, and the string without them.
std::u16string takeSettings(std::u16string_view text, Settings& settings) {
    for (const char* name : SettingNames)
        if (const char* value = std::getenv(name)) settings.take(name, value);
    std::u16string rest;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t equals = text.find(u'=', i);
        if (equals == std::u16string_view::npos) {
            rest.append(text.substr(i));
            break;
        }
        std::size_t end = equals + 1;
        if (end < text.size() && text[end] == u'{') {
            const std::size_t close = text.find(u'}', end);
            end = close == std::u16string_view::npos ? text.size() : close + 1;
        }
        end = std::min(text.find(u';', end), text.size());
        std::string key = Utf8(text.substr(i, equals - i));
        key.erase(0, key.find_first_not_of(' '));
        key.erase(key.find_last_not_of(' ') + 1);
        if (isSetting(key))
            settings.take(canonicalSetting(key), Utf8(text.substr(equals + 1, end - equals - 1)));
        else
            rest.append(text.substr(i, std::min(end + 1, text.size()) - i));
        i = end + 1;
    }
    return rest;
}

// ---------------------------------------------------------------------------
// What the driver keeps beside the real driver's handles

struct Record {
    std::u16string state;
    SQLINTEGER native = 0;
    std::u16string message;
};

struct Own {
    std::vector<Record> records;  // when not empty, these are the handle's diagnostics
};

struct Connection : Own {
    SQLHDBC real = SQL_NULL_HDBC;
    Settings settings;
    bool asciiOnly = true;
    bool charSemantics = false;
    bool autocommit = true;
    std::atomic<bool> dead{false};
    SQLHSTMT helper = SQL_NULL_HSTMT;
    // What runs on the connection now, for a cancel to stop.
    std::mutex runningMutex;
    SQLHSTMT running = SQL_NULL_HSTMT;
};

struct Parameter {
    SQLSMALLINT io, cType, sqlType;
    SQLULEN columnSize;
    SQLSMALLINT digits;
    SQLPOINTER data;
    SQLLEN bufferLength;
    SQLLEN* indicator;
};

struct Column {
    SQLSMALLINT cType;
    SQLPOINTER data;
    SQLLEN bufferLength;
    SQLLEN* indicator;
};

struct Statement : Own {
    std::shared_ptr<Connection> connection;
    StatementKind preparedKind = StatementKind::Other;
    std::optional<bool> preparedSemantics;
    std::u16string preparedFollowUp;
    std::map<SQLUSMALLINT, Parameter> parameters;
    SQLULEN paramsetSize = 1;
    SQLULEN paramBindType = SQL_PARAM_BIND_BY_COLUMN;
    SQLUSMALLINT* paramStatus = nullptr;
    SQLULEN* paramsProcessed = nullptr;
    std::map<SQLUSMALLINT, Column> columns;
    SQLULEN rowArraySize = 1;
    SQLULEN rowBindType = SQL_BIND_BY_COLUMN;
    SQLULEN* appRowsFetched = nullptr;
    SQLULEN fetched = 0;
    SQLSETPOSIROW position = 1;
    SQLUSMALLINT lastGetDataColumn = 0;
    // The values as the real driver gets them for one row.
    std::vector<std::u16string> values;
    std::vector<SQLLEN> lengths;
};

std::mutex mapsMutex;
std::unordered_map<SQLHANDLE, std::shared_ptr<Connection>> connections;
std::unordered_map<SQLHANDLE, std::shared_ptr<Statement>> statements;

std::shared_ptr<Connection> connectionOf(SQLHANDLE handle) {
    const std::lock_guard lock(mapsMutex);
    const auto found = connections.find(handle);
    return found == connections.end() ? nullptr : found->second;
}

std::shared_ptr<Statement> statementOf(SQLHANDLE handle) {
    const std::lock_guard lock(mapsMutex);
    const auto found = statements.find(handle);
    return found == statements.end() ? nullptr : found->second;
}

Own* ownOf(SQLSMALLINT type, SQLHANDLE handle) {
    const std::lock_guard lock(mapsMutex);
    if (type == SQL_HANDLE_DBC) {
        const auto found = connections.find(handle);
        return found == connections.end() ? nullptr : found->second.get();
    }
    if (type == SQL_HANDLE_STMT) {
        const auto found = statements.find(handle);
        return found == statements.end() ? nullptr : found->second.get();
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Errors as Oracle's driver words them

// Oracle: libsqora reports server errors as SQLSTATE HY000, the ORA number
// as the native code, the text "[Oracle][ODBC][Ora]ORA-nnnnn: ...".
Record oracleError(int code, const std::string& text) {
    char number[16];
    std::snprintf(number, sizeof(number), "%05d", code);
    return {u"HY000", code, Utf16("[Oracle][ODBC][Ora]ORA-" + std::string(number) + ": " + text)};
}

SQLRETURN fail(Own& own, Record record) {
    own.records = {std::move(record)};
    return SQL_ERROR;
}

SQLRETURN failOptional(Own& own) {
    return fail(own, {u"HYC00", 0, u"[Oracle][ODBC]Optional feature not implemented."});
}

std::string lostText(int code) {
    switch (code) {
        case 28:
            return "your session has been killed";
        case 1012:
            return "not logged on";
        case 2396:
            return "exceeded maximum idle time, please connect again";
        case 3114:
            return "not connected to ORACLE";
        case 12547:
            return "TNS:lost contact";
        case 12570:
            return "TNS:packet reader failure";
        default:
            return "end-of-file on communication channel";
    }
}

// Oracle: a killed session answers ORA-00028 once, then ORA-01012 ("not
// logged on"), as does one ended for idleness; a broken link answers
// ORA-03114 ("not connected") after its first error.
int laterLostCode(int first) { return first == 28 || first == 2396 ? 1012 : 3114; }

// Oracle: after a lost connection, every call that needs the server fails,
// rollback and autocommit on included.
SQLRETURN deadLink(Own& own, const Connection& connection) {
    const int code = laterLostCode(connection.settings.lostCode);
    return fail(own, oracleError(code, lostText(code)));
}

std::vector<Record> realRecords(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Record> found;
    for (SQLSMALLINT number = 1;; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(4096);
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            REAL(SQLGetDiagRecW)(type, handle, number, state, &native, message.data(),
                                 SQLSMALLINT(message.size()), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        found.push_back(
            {std::u16string(reinterpret_cast<const char16_t*>(state), 5), native,
             std::u16string(reinterpret_cast<const char16_t*>(message.data()),
                            std::min<std::size_t>(std::size_t(std::max<SQLSMALLINT>(length, 0)),
                                                  message.size() - 1))});
    }
    return found;
}

bool contains(const std::u16string& text, const char* part) {
    return Utf8(text).find(part) != std::string::npos;
}

bool meansLost(const Record& record) {
    const std::u16string& s = record.state;
    return s.rfind(u"08", 0) == 0 || s == u"57P01" || s == u"57P02" || s == u"57P03" ||
           contains(record.message, "server closed the connection") ||
           contains(record.message, "no connection to the server") ||
           contains(record.message, "terminating connection") ||
           contains(record.message, "connection dead") ||
           contains(record.message, "Could not send") ||
           contains(record.message, "communication error");
}

// Oracle's words for the server errors whose meaning both servers share.
std::optional<Record> oracleFor(const Record& record) {
    const std::u16string& s = record.state;
    const std::string message = Utf8(record.message);
    if (s == u"42P01") return oracleError(942, "table or view does not exist");
    if (s == u"42P07") return oracleError(955, "name is already used by an existing object");
    if (s == u"57014" || s == u"HY008")
        return oracleError(1013, "user requested cancel of current operation");
    if (s == u"55P03")
        return oracleError(54,
                           "resource busy and acquire with NOWAIT specified or timeout expired");
    if (s == u"54011")
        return oracleError(1792, "maximum number of columns in a table or view is 1000");
    if (s == u"22001") {
        // The length check's own words, else PostgreSQL's varchar limit.
        const std::size_t own = message.find("om12899 ");
        if (own == std::string::npos) return oracleError(12899, "value too large for column");
        std::string words = message.substr(own + 8);
        words = words.substr(0, words.find_first_of(";\n"));
        return oracleError(12899, words);
    }
    return std::nullopt;
}

// After a failed call of the real driver: the handle's records in Oracle's
// words where it has words for them, the connection marked dead when the
// server is gone.
SQLRETURN afterFailure(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, Own& own,
                       Connection& connection) {
    if (rc != SQL_ERROR) return rc;
    const std::vector<Record> found = realRecords(type, handle);
    for (const Record& record : found) {
        if (meansLost(record)) {
            // Oracle: the first call to meet a lost connection gets the
            // code of how it was lost.
            const bool first = !connection.dead.exchange(true);
            const int code =
                first ? connection.settings.lostCode : laterLostCode(connection.settings.lostCode);
            return fail(own, oracleError(code, lostText(code)));
        }
    }
    for (const Record& record : found)
        if (auto mapped = oracleFor(record)) return fail(own, *mapped);
    // Kept, so that later calls of this driver on the handle leave them be.
    own.records = found;
    return rc;
}

bool ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// ---------------------------------------------------------------------------
// Text in and out

std::u16string_view wideText(const SQLWCHAR* text, SQLINTEGER length) {
    const auto* chars = reinterpret_cast<const char16_t*>(text);
    if (!text) return {};
    if (length == SQL_NTS) return std::u16string_view(chars);
    return std::u16string_view(chars, std::size_t(std::max<SQLINTEGER>(length, 0)));
}

// A wide string into an output buffer sized in bytes.
SQLRETURN putBytes(Own& own, std::u16string_view text, SQLPOINTER buffer, SQLLEN bufferBytes,
                   SQLLEN* lengthBytes) {
    if (lengthBytes) *lengthBytes = SQLLEN(text.size() * sizeof(char16_t));
    if (!buffer || bufferBytes <= 0) return SQL_SUCCESS;
    const std::size_t room = std::size_t(bufferBytes) / sizeof(char16_t);
    if (room == 0) return SQL_SUCCESS_WITH_INFO;
    const std::size_t copied = std::min(room - 1, text.size());
    std::memcpy(buffer, text.data(), copied * sizeof(char16_t));
    static_cast<char16_t*>(buffer)[copied] = 0;
    if (copied < text.size()) {
        own.records = {{u"01004", 0, u"[Oracle][ODBC]String data, right truncated."}};
        return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
}

// Oracle: without a UTF-8 character set in NLS_LANG the client's set is
// US7ASCII, and every character outside it arrives as '?', on reading as on
// writing, with no error.
bool asciiOnlyClient() {
    const char* lang = std::getenv("NLS_LANG");
    if (!lang) return true;
    const char* dot = std::strrchr(lang, '.');
    if (!dot) return true;
    const std::string set = dot + 1;
    return strcasecmp(set.c_str(), "AL32UTF8") != 0 && strcasecmp(set.c_str(), "UTF8") != 0;
}

// One value read into a wide buffer: '?' for characters outside ASCII (a
// pair as one, the length shortened to match), and the empty text a NULL.
void asRead(const Connection& connection, char16_t* text, SQLLEN* indicator, bool whole) {
    if (!indicator) return;
    // Oracle: '' is NULL, so no text value is ever empty.
    if (whole && *indicator == 0) {
        *indicator = SQL_NULL_DATA;
        return;
    }
    if (!connection.asciiOnly || !text || *indicator < 0) return;
    std::size_t out = 0;
    std::size_t removed = 0;
    for (std::size_t in = 0; text[in]; ++in) {
        char16_t c = text[in];
        if (c >= 0x80) {
            if (c >= 0xD800 && c < 0xDC00 && text[in + 1] >= 0xDC00 && text[in + 1] < 0xE000) {
                ++in;
                ++removed;
            }
            c = u'?';
        }
        text[out++] = c;
    }
    text[out] = 0;
    if (*indicator != SQL_NO_TOTAL) *indicator -= SQLLEN(removed * sizeof(char16_t));
}

// ---------------------------------------------------------------------------
// What runs on the connection, for a cancel to find

class Running final {
public:
    Running(Connection& connection, SQLHSTMT statement) : m_connection(connection) {
        const std::lock_guard lock(m_connection.runningMutex);
        m_connection.running = statement;
    }
    ~Running() {
        const std::lock_guard lock(m_connection.runningMutex);
        m_connection.running = SQL_NULL_HSTMT;
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    Connection& m_connection;
};

// A statement of the driver's own on the real connection, for what it says
// to the server besides the application's statements.
SQLRETURN afterFailure(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, Own& own,
                       Connection& connection);

// A failure is told to reportTo, in Oracle's words, when given.
SQLRETURN helperRun(Connection& connection, const char16_t* text, Own* reportTo = nullptr) {
    if (!connection.helper &&
        !ok(REAL(SQLAllocHandle)(SQL_HANDLE_STMT, connection.real, &connection.helper)))
        return SQL_ERROR;
    SQLRETURN rc;
    {
        const Running running(connection, connection.helper);
        rc = REAL(SQLExecDirectW)(
            connection.helper, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text)), SQL_NTS);
    }
    if (reportTo) rc = afterFailure(rc, SQL_HANDLE_STMT, connection.helper, *reportTo, connection);
    REAL(SQLFreeStmt)(connection.helper, SQL_CLOSE);
    return rc;
}

// ---------------------------------------------------------------------------
// Statements on their way to the server

// Oracle: names are at most 128 bytes (30 before 12.2), ORA-00972.
std::optional<Record> nameOverLimit(const Connection& connection, std::u16string_view text) {
    if (NameOverLimit(text, connection.settings.nameLimit))
        return oracleError(972, "identifier is too long");
    return std::nullopt;
}

// The text as the real server is to get it; an Oracle error instead where
// Oracle refuses it before it runs.
struct Prepared {
    std::u16string text;
    StatementKind kind = StatementKind::Other;
    std::optional<bool> semantics;
    std::optional<Record> refused;
    // What runs after the statement, when it succeeds.
    std::u16string followUp;
};

Prepared prepareText(Connection& connection, std::u16string_view given) {
    Prepared prepared;
    std::u16string text = connection.asciiOnly ? AsciiOnly(given) : std::u16string(given);
    prepared.kind = KindOf(text);
    if (prepared.kind == StatementKind::SessionSettings) {
        // Oracle: the length rule is the session's own; PostgreSQL has no
        // such setting, so the driver keeps it and the server gets nothing
        // to do.
        prepared.semantics = CharSemanticsSet(text);
        prepared.text = u"DO $$BEGIN END$$";
        return prepared;
    }
    if (auto refused = nameOverLimit(connection, text)) {
        prepared.refused = refused;
        return prepared;
    }
    // Oracle: '' is NULL.
    text = EmptyLiteralsAsNull(text);
    if (auto table = ReadCreateTable(text, connection.charSemantics)) {
        // Oracle: a table holds at most 1,000 columns.
        if (table->columns > 1000) {
            prepared.refused =
                oracleError(1792, "maximum number of columns in a table or view is 1000");
            return prepared;
        }
        // Oracle: VARCHAR2(n) holds n bytes unless the session counts
        // characters, and 4,000 bytes at most either way: played by a
        // trigger that checks each column's length in bytes.
        if (!connection.settings.noLengthChecks) {
            static std::atomic<unsigned> made{0};
            prepared.followUp = LengthCheck(
                *table, Utf16("om12899_" + std::to_string(getpid()) + "_" + std::to_string(++made) +
                              "_" + std::to_string(std::time(nullptr))));
        }
        text = std::move(table->rewritten);
    }
    prepared.text = std::move(text);
    return prepared;
}

// Oracle: DDL commits the open transaction before it runs and commits
// itself after; on a table another session holds, it fails at once
// (ORA-00054) where PostgreSQL waits: a short lock timeout around it.
template <typename Run>
SQLRETURN runDdl(Connection& connection, Run run, const std::u16string& followUp) {
    if (!connection.autocommit) REAL(SQLEndTran)(SQL_HANDLE_DBC, connection.real, SQL_COMMIT);
    helperRun(connection, u"SET lock_timeout = '200ms'");
    const SQLRETURN rc = run();
    if (ok(rc) && !followUp.empty()) helperRun(connection, followUp.c_str());
    if (!connection.autocommit) REAL(SQLEndTran)(SQL_HANDLE_DBC, connection.real, SQL_COMMIT);
    helperRun(connection, u"RESET lock_timeout");
    if (!connection.autocommit) REAL(SQLEndTran)(SQL_HANDLE_DBC, connection.real, SQL_COMMIT);
    return rc;
}

// Parameters of row `row` to the real driver, which always runs one row:
// empty text as NULL, and '?' for what an ASCII client cannot send.
void bindRow(SQLHSTMT handle, Statement& statement, SQLULEN row) {
    const Connection& connection = *statement.connection;
    statement.values.resize(statement.parameters.size());
    statement.lengths.resize(statement.parameters.size());
    const bool byColumn = statement.paramBindType == SQL_PARAM_BIND_BY_COLUMN;
    std::size_t slot = 0;
    for (auto& [number, p] : statement.parameters) {
        const SQLULEN stride =
            byColumn ? SQLULEN(std::max<SQLLEN>(p.bufferLength, 0)) : statement.paramBindType;
        const SQLULEN indicatorStride = byColumn ? sizeof(SQLLEN) : statement.paramBindType;
        char* data = p.data ? static_cast<char*>(p.data) + row * stride : nullptr;
        SQLLEN* indicator = p.indicator
                                ? reinterpret_cast<SQLLEN*>(reinterpret_cast<char*>(p.indicator) +
                                                            row * indicatorStride)
                                : nullptr;
        SQLLEN& length = statement.lengths[slot];
        length = indicator ? *indicator : SQL_NTS;
        const bool text = p.cType == SQL_C_WCHAR || p.cType == SQL_C_CHAR;
        const bool plain = length >= 0 || length == SQL_NTS;
        SQLPOINTER bound = data;
        if (p.io == SQL_PARAM_INPUT && text && data && plain) {
            if (p.cType == SQL_C_WCHAR) {
                const auto* chars = reinterpret_cast<const char16_t*>(data);
                const std::u16string_view value =
                    length == SQL_NTS ? std::u16string_view(chars)
                                      : std::u16string_view(chars, std::size_t(length) / 2);
                length = SQLLEN(value.size() * sizeof(char16_t));
                if (connection.asciiOnly &&
                    std::any_of(value.begin(), value.end(), [](char16_t c) { return c >= 0x80; })) {
                    statement.values[slot] = AsciiOnly(value);
                    bound = statement.values[slot].data();
                    length = SQLLEN(statement.values[slot].size() * sizeof(char16_t));
                }
            } else if (length == SQL_NTS) {
                length = SQLLEN(std::strlen(data));
            }
            // Oracle: '' is NULL.
            if (length == 0) length = SQL_NULL_DATA;
        }
        // Data sent at execution keeps the application's indicator.
        REAL(SQLBindParameter)
        (handle, number, p.io, p.cType, p.sqlType, p.columnSize, p.digits, bound, p.bufferLength,
         plain ? &length : indicator);
        ++slot;
    }
}

// The application's column-wise arrays bound whole to the real driver,
// with empty text as NULL and '?' for what an ASCII client cannot send, in
// copies where anything changes. False where only one row at a time can be
// played (row-wise binding, output parameters, data sent at execution).
struct ArrayCopies {
    std::vector<std::vector<SQLLEN>> indicators;
    std::vector<std::vector<char>> data;
};

bool bindArray(SQLHSTMT handle, Statement& statement, SQLULEN rows, ArrayCopies& copies) {
    if (statement.paramBindType != SQL_PARAM_BIND_BY_COLUMN) return false;
    const Connection& connection = *statement.connection;
    copies.indicators.assign(statement.parameters.size(), {});
    copies.data.assign(statement.parameters.size(), {});
    std::size_t slot = 0;
    for (const auto& [number, p] : statement.parameters) {
        if (p.io != SQL_PARAM_INPUT) return false;
        std::vector<SQLLEN>& lengths = copies.indicators[slot];
        lengths.resize(rows);
        for (SQLULEN r = 0; r < rows; ++r) {
            lengths[r] = p.indicator ? p.indicator[r] : SQL_NTS;
            if (lengths[r] == SQL_DATA_AT_EXEC || lengths[r] <= SQL_LEN_DATA_AT_EXEC(0))
                return false;
        }
        char* data = static_cast<char*>(p.data);
        const bool text = p.cType == SQL_C_WCHAR || p.cType == SQL_C_CHAR;
        for (SQLULEN r = 0; text && data && r < rows; ++r) {
            SQLLEN& length = lengths[r];
            if (length == SQL_NULL_DATA) continue;
            char* value = data + r * SQLULEN(p.bufferLength);
            if (p.cType == SQL_C_WCHAR) {
                const auto* chars = reinterpret_cast<const char16_t*>(value);
                const std::u16string_view given =
                    length == SQL_NTS ? std::u16string_view(chars)
                                      : std::u16string_view(chars, std::size_t(length) / 2);
                length = SQLLEN(given.size() * sizeof(char16_t));
                if (connection.asciiOnly &&
                    std::any_of(given.begin(), given.end(), [](char16_t c) { return c >= 0x80; })) {
                    std::vector<char>& copy = copies.data[slot];
                    if (copy.empty()) copy.assign(data, data + rows * SQLULEN(p.bufferLength));
                    const std::u16string ascii = AsciiOnly(given);
                    std::memcpy(copy.data() + r * SQLULEN(p.bufferLength), ascii.data(),
                                ascii.size() * sizeof(char16_t));
                    length = SQLLEN(ascii.size() * sizeof(char16_t));
                }
            } else if (length == SQL_NTS) {
                length = SQLLEN(strnlen(value, std::size_t(std::max<SQLLEN>(p.bufferLength, 0))));
            }
            // Oracle: '' is NULL.
            if (length == 0) length = SQL_NULL_DATA;
        }
        SQLPOINTER bound = copies.data[slot].empty() ? p.data : copies.data[slot].data();
        REAL(SQLBindParameter)
        (handle, number, p.io, p.cType, p.sqlType, p.columnSize, p.digits, bound, p.bufferLength,
         lengths.data());
        ++slot;
    }
    return true;
}

// The whole array in one call of the real driver, as fast as psqlODBC runs
// it, inside a savepoint (or a transaction of its own under autocommit):
// when a row fails, all is undone and the rows before it run again, so that
// they alone stay applied, as Oracle leaves them. None where the array can
// only be played row by row.
template <typename Run>
std::optional<SQLRETURN> runArray(SQLHSTMT handle, Statement& statement, SQLULEN rows, Run run) {
    Connection& connection = *statement.connection;
    ArrayCopies copies;
    if (!bindArray(handle, statement, rows, copies)) return std::nullopt;
    std::vector<SQLUSMALLINT> status(rows, SQL_PARAM_UNUSED);
    SQLULEN processed = 0;
    const auto setSize = [&](SQLULEN size) {
        REAL(SQLSetStmtAttrW)
        (handle, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(size), 0);
    };
    setSize(rows);
    REAL(SQLSetStmtAttrW)(handle, SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0);
    REAL(SQLSetStmtAttrW)(handle, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
    const bool ownTransaction = connection.autocommit;
    const auto autocommit = [&](SQLULEN on) {
        REAL(SQLSetConnectAttrW)
        (connection.real, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(on), 0);
    };
    if (ownTransaction)
        autocommit(SQL_AUTOCOMMIT_OFF);
    else
        helperRun(connection, u"SAVEPOINT om_array");
    SQLRETURN rc;
    {
        const Running running(connection, handle);
        rc = run();
    }
    std::optional<SQLULEN> failed;
    for (SQLULEN r = 0; r < rows && !failed; ++r)
        if (status[r] == SQL_PARAM_ERROR || status[r] == SQL_PARAM_DIAG_UNAVAILABLE) failed = r;
    if (!failed && rc == SQL_ERROR) failed = processed > 0 ? processed - 1 : 0;

    SQLRETURN result = rc;
    if (failed) {
        result = afterFailure(SQL_ERROR, SQL_HANDLE_STMT, handle, statement, connection);
        if (!connection.dead) {
            const std::vector<Record> records = statement.records;
            if (ownTransaction)
                REAL(SQLEndTran)(SQL_HANDLE_DBC, connection.real, SQL_ROLLBACK);
            else
                helperRun(connection, u"ROLLBACK TO SAVEPOINT om_array");
            if (*failed > 0) {
                setSize(*failed);
                const Running running(connection, handle);
                run();
            }
            statement.records = records;
        }
        processed = *failed + 1;
        for (SQLULEN r = 0; r < rows; ++r)
            status[r] = r < *failed    ? SQL_PARAM_SUCCESS
                        : r == *failed ? SQL_PARAM_ERROR
                                       : SQL_PARAM_UNUSED;
    }
    if (ownTransaction && !connection.dead) {
        REAL(SQLEndTran)(SQL_HANDLE_DBC, connection.real, SQL_COMMIT);
        autocommit(SQL_AUTOCOMMIT_ON);
    }
    setSize(1);
    REAL(SQLSetStmtAttrW)(handle, SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
    REAL(SQLSetStmtAttrW)(handle, SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
    if (statement.paramsProcessed) *statement.paramsProcessed = processed;
    if (statement.paramStatus && !connection.settings.statusUntouched)
        std::copy(status.begin(), status.end(), statement.paramStatus);
    return result;
}

// Runs every row of the parameter set: the whole array at once where it
// can, else one row at a time on the real driver. Oracle: an array stops at its first failing row;
// the rows before it are applied, that row is SQL_PARAM_ERROR, the rest SQL_PARAM_UNUSED, and the
// processed count says how far it went. (Whether libsqora fills the status
// array is not documented; a setting leaves it untouched.)
template <typename Run>
SQLRETURN runRows(SQLHSTMT handle, Statement& statement, Run run) {
    Connection& connection = *statement.connection;
    const SQLULEN rows = statement.parameters.empty() ? 1 : statement.paramsetSize;
    if (rows == 1) {
        if (!statement.parameters.empty()) bindRow(handle, statement, 0);
        if (statement.paramsProcessed) *statement.paramsProcessed = 0;
        SQLRETURN rc;
        {
            const Running running(connection, handle);
            rc = run();
        }
        rc = afterFailure(rc, SQL_HANDLE_STMT, handle, statement, connection);
        if (statement.paramsProcessed) *statement.paramsProcessed = 1;
        if (statement.paramStatus && !connection.settings.statusUntouched)
            statement.paramStatus[0] = rc == SQL_ERROR               ? SQL_PARAM_ERROR
                                       : rc == SQL_SUCCESS_WITH_INFO ? SQL_PARAM_SUCCESS_WITH_INFO
                                                                     : SQL_PARAM_SUCCESS;
        return rc;
    }
    if (!connection.settings.arraysStopHalfway)
        if (const auto ran = runArray(handle, statement, rows, run)) return *ran;
    // A setting plays a driver that stops part-way and says nothing.
    const SQLULEN runCount = connection.settings.arraysStopHalfway ? rows / 2 : rows;
    const bool statuses = statement.paramStatus && !connection.settings.statusUntouched;
    if (statuses)
        for (SQLULEN r = 0; r < rows; ++r) statement.paramStatus[r] = SQL_PARAM_UNUSED;
    SQLRETURN overall = SQL_SUCCESS;
    for (SQLULEN r = 0; r < runCount; ++r) {
        bindRow(handle, statement, r);
        SQLRETURN rc;
        {
            const Running running(connection, handle);
            rc = run();
        }
        if (statement.paramsProcessed) *statement.paramsProcessed = r + 1;
        if (rc == SQL_ERROR) {
            rc = afterFailure(rc, SQL_HANDLE_STMT, handle, statement, connection);
            if (statuses) statement.paramStatus[r] = SQL_PARAM_ERROR;
            return rc;
        }
        if (rc == SQL_SUCCESS_WITH_INFO) overall = rc;
        if (statuses)
            statement.paramStatus[r] =
                rc == SQL_SUCCESS_WITH_INFO ? SQL_PARAM_SUCCESS_WITH_INFO : SQL_PARAM_SUCCESS;
        // The statement runs again for the next row.
        if (r + 1 < runCount) REAL(SQLFreeStmt)(handle, SQL_CLOSE);
    }
    if (statement.paramsProcessed) *statement.paramsProcessed = runCount;
    return overall;
}

// A real driver was seen cutting a text too long for its bound buffer
// wrongly: ten emoji in a buffer of eleven code units came back as four and
// a U+FFFD, the length as written, with a conversion warning and no 01004.
// True when a value was so cut.
bool garbleTruncated(char16_t* text, SQLLEN* indicator, SQLLEN bufferLength) {
    const SQLLEN capacity = bufferLength / SQLLEN(sizeof(char16_t)) - 1;
    if (!text || !indicator || *indicator == SQL_NULL_DATA || capacity < 1) return false;
    if (*indicator != SQL_NO_TOTAL && *indicator / SQLLEN(sizeof(char16_t)) <= capacity)
        return false;
    SQLLEN kept = capacity - 1;  // room for U+FFFD
    if (kept > 0 && text[kept - 1] >= 0xD800 && text[kept - 1] < 0xDC00) --kept;
    text[kept] = 0xFFFD;
    text[kept + 1] = 0;
    *indicator = (kept + 1) * SQLLEN(sizeof(char16_t));
    return true;
}

// One value of a bound column for each fetched row, as Oracle's client
// hands it over; true when the fetch garbled a value (see garbleTruncated).
bool afterFetch(Statement& statement) {
    bool garbled = false;
    statement.position = 1;
    statement.lastGetDataColumn = 0;
    if (statement.appRowsFetched) *statement.appRowsFetched = statement.fetched;
    const Connection& connection = *statement.connection;
    const bool byColumn = statement.rowBindType == SQL_BIND_BY_COLUMN;
    for (auto& [number, column] : statement.columns) {
        if (column.cType != SQL_C_WCHAR && column.cType != SQL_C_CHAR) continue;
        for (SQLULEN r = 0; r < statement.fetched; ++r) {
            const SQLULEN stride = byColumn ? SQLULEN(std::max<SQLLEN>(column.bufferLength, 0))
                                            : statement.rowBindType;
            const SQLULEN indicatorStride = byColumn ? sizeof(SQLLEN) : statement.rowBindType;
            auto* indicator =
                column.indicator
                    ? reinterpret_cast<SQLLEN*>(reinterpret_cast<char*>(column.indicator) +
                                                r * indicatorStride)
                    : nullptr;
            auto* data = column.data ? static_cast<char*>(column.data) + r * stride : nullptr;
            if (connection.settings.garbledTruncation && column.cType == SQL_C_WCHAR)
                garbled = garbleTruncated(reinterpret_cast<char16_t*>(data), indicator,
                                          column.bufferLength) ||
                          garbled;
            asRead(connection,
                   column.cType == SQL_C_WCHAR ? reinterpret_cast<char16_t*>(data) : nullptr,
                   indicator, true);
        }
    }
    return garbled;
}

// The fetch's answer once afterFetch has garbled a value.
SQLRETURN garbledFetch(Statement& statement) {
    statement.records = {{u"01000", 0, u"[Oracle][ODBC]Character conversion lost data."}};
    return SQL_SUCCESS_WITH_INFO;
}

template <typename Call>
SQLRETURN onStatement(SQLHSTMT handle, bool needsServer, Call call) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return call();
    statement->records.clear();
    if (needsServer && statement->connection->dead)
        return deadLink(*statement, *statement->connection);
    return afterFailure(call(), SQL_HANDLE_STMT, handle, *statement, *statement->connection);
}

template <typename Call>
SQLRETURN onConnection(SQLHDBC handle, bool needsServer, Call call) {
    const std::shared_ptr<Connection> connection = connectionOf(handle);
    if (!connection) return call();
    connection->records.clear();
    if (needsServer && connection->dead) return deadLink(*connection, *connection);
    return afterFailure(call(), SQL_HANDLE_DBC, handle, *connection, *connection);
}

SQLWCHAR* wide(const std::u16string& text) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str()));
}

}  // namespace

// ---------------------------------------------------------------------------
// The entry points

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    const SQLRETURN rc = REAL(SQLAllocHandle)(type, input, output);
    if (!ok(rc)) return rc;
    if (type == SQL_HANDLE_DBC) {
        auto connection = std::make_shared<Connection>();
        connection->real = *output;
        const std::lock_guard lock(mapsMutex);
        connections[*output] = connection;
    } else if (type == SQL_HANDLE_STMT) {
        auto statement = std::make_shared<Statement>();
        statement->connection = connectionOf(input);
        if (!statement->connection) return rc;
        REAL(SQLSetStmtAttrW)(*output, SQL_ATTR_ROWS_FETCHED_PTR, &statement->fetched, 0);
        const std::lock_guard lock(mapsMutex);
        statements[*output] = statement;
    }
    return rc;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    if (type == SQL_HANDLE_DBC) {
        if (const auto connection = connectionOf(handle); connection && connection->helper) {
            REAL(SQLFreeHandle)(SQL_HANDLE_STMT, connection->helper);
            connection->helper = SQL_NULL_HSTMT;
        }
    }
    const SQLRETURN rc = REAL(SQLFreeHandle)(type, handle);
    const std::lock_guard lock(mapsMutex);
    if (type == SQL_HANDLE_DBC) connections.erase(handle);
    if (type == SQL_HANDLE_STMT) statements.erase(handle);
    return rc;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV handle, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER length) {
    return REAL(SQLSetEnvAttr)(handle, attribute, value, length);
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV handle, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER bufferLength, SQLINTEGER* length) {
    return REAL(SQLGetEnvAttr)(handle, attribute, value, bufferLength, length);
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC handle, SQLHWND window, SQLWCHAR* in,
                                    SQLSMALLINT inLength, SQLWCHAR* out, SQLSMALLINT outMax,
                                    SQLSMALLINT* outLength, SQLUSMALLINT completion) {
    const std::shared_ptr<Connection> connection = connectionOf(handle);
    if (!connection)
        return REAL(SQLDriverConnectW)(handle, window, in, inLength, out, outMax, outLength,
                                       completion);
    connection->records.clear();
    std::u16string text = takeSettings(wideText(in, inLength), connection->settings);
    // Oracle: a failed statement undoes itself alone, never the transaction
    // around it; psqlODBC's statement-level rollback plays that.
    if (Utf8(text).find("Protocol=") == std::string::npos) {
        if (!text.empty() && text.back() != u';') text += u';';
        text += u"Protocol=7.4-2;";
    }
    connection->asciiOnly = asciiOnlyClient();
    connection->dead = false;
    return REAL(SQLDriverConnectW)(handle, window, wide(text), SQL_NTS, out, outMax, outLength,
                                   completion);
}

SQLRETURN SQL_API SQLConnectW(SQLHDBC handle, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR* user,
                              SQLSMALLINT userLength, SQLWCHAR* password,
                              SQLSMALLINT passwordLength) {
    if (const auto connection = connectionOf(handle)) {
        takeSettings(u"", connection->settings);
        connection->asciiOnly = asciiOnlyClient();
    }
    return REAL(SQLConnectW)(handle, dsn, dsnLength, user, userLength, password, passwordLength);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
    const std::shared_ptr<Connection> connection = connectionOf(handle);
    if (!connection) return REAL(SQLDisconnect)(handle);
    connection->records.clear();
    if (connection->helper) {
        REAL(SQLFreeHandle)(SQL_HANDLE_STMT, connection->helper);
        connection->helper = SQL_NULL_HSTMT;
    }
    const SQLRETURN rc = REAL(SQLDisconnect)(handle);
    // Parting from a lost server always works.
    if (connection->dead) return SQL_SUCCESS;
    return rc;
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value,
                              SQLSMALLINT bufferLength, SQLSMALLINT* length) {
    const std::shared_ptr<Connection> connection = connectionOf(handle);
    if (!connection) return REAL(SQLGetInfoW)(handle, type, value, bufferLength, length);
    connection->records.clear();
    const auto small = [&](SQLUSMALLINT answer) {
        if (value) *static_cast<SQLUSMALLINT*>(value) = answer;
        if (length) *length = sizeof(SQLUSMALLINT);
        return SQL_SUCCESS;
    };
    switch (type) {
        case SQL_DBMS_NAME: {
            SQLLEN bytes = 0;
            const SQLRETURN rc = putBytes(*connection, u"Oracle", value, bufferLength, &bytes);
            if (length) *length = SQLSMALLINT(bytes);
            return rc;
        }
        // Oracle: at most 1,000 columns in a table.
        case SQL_MAX_COLUMNS_IN_TABLE:
        case SQL_MAX_COLUMNS_IN_SELECT:
            return small(1000);
        // Oracle: names of 128 bytes at most, 30 with COMPATIBLE below 12.2.
        case SQL_MAX_COLUMN_NAME_LEN:
        case SQL_MAX_TABLE_NAME_LEN:
        case SQL_MAX_SCHEMA_NAME_LEN:
        case SQL_MAX_IDENTIFIER_LEN:
            return small(SQLUSMALLINT(connection->settings.nameLimit));
        case SQL_GETDATA_EXTENSIONS: {
            const SQLRETURN rc = REAL(SQLGetInfoW)(handle, type, value, bufferLength, length);
            if (ok(rc) && value && connection->settings.noBlockGetData)
                *static_cast<SQLUINTEGER*>(value) &= ~SQLUINTEGER(SQL_GD_BLOCK);
            return rc;
        }
        default:
            return REAL(SQLGetInfoW)(handle, type, value, bufferLength, length);
    }
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC handle, SQLUSMALLINT function, SQLUSMALLINT* supported) {
    return REAL(SQLGetFunctions)(handle, function, supported);
}

SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER bufferLength, SQLINTEGER* length) {
    const std::shared_ptr<Connection> connection = connectionOf(handle);
    if (connection && attribute == SQL_ATTR_CONNECTION_DEAD) {
        connection->records.clear();
        if (connection->settings.noConnectionDead) return failOptional(*connection);
        if (connection->dead) {
            if (value) *static_cast<SQLUINTEGER*>(value) = SQL_CD_TRUE;
            return SQL_SUCCESS;
        }
    }
    return onConnection(handle, false, [&] {
        return REAL(SQLGetConnectAttrW)(handle, attribute, value, bufferLength, length);
    });
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER length) {
    const std::shared_ptr<Connection> connection = connectionOf(handle);
    const SQLRETURN rc = onConnection(
        handle, true, [&] { return REAL(SQLSetConnectAttrW)(handle, attribute, value, length); });
    if (connection && ok(rc) && attribute == SQL_ATTR_AUTOCOMMIT)
        connection->autocommit = reinterpret_cast<SQLULEN>(value) == SQL_AUTOCOMMIT_ON;
    return rc;
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
    const std::shared_ptr<Connection> connection =
        type == SQL_HANDLE_DBC ? connectionOf(handle) : nullptr;
    if (!connection) return REAL(SQLEndTran)(type, handle, completion);
    connection->records.clear();
    if (connection->dead) return deadLink(*connection, *connection);
    if (completion == SQL_COMMIT && !connection->autocommit) {
        // Oracle: a cancel is a break on the whole connection, which stops a
        // COMMIT too: the COMMIT runs as a statement that a cancel reaches.
        const SQLRETURN rc = helperRun(*connection, u"COMMIT", connection.get());
        if (rc == SQL_ERROR) {
            REAL(SQLEndTran)(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
            return rc;
        }
    }
    return onConnection(handle, true,
                        [&] { return REAL(SQLEndTran)(SQL_HANDLE_DBC, handle, completion); });
}

SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC handle, SQLWCHAR* in, SQLINTEGER inLength, SQLWCHAR* out,
                                SQLINTEGER outMax, SQLINTEGER* outLength) {
    return REAL(SQLNativeSqlW)(handle, in, inLength, out, outMax, outLength);
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLPrepareW)(handle, text, length);
    return onStatement(handle, true, [&] {
        const Prepared prepared = prepareText(*statement->connection, wideText(text, length));
        if (prepared.refused) return fail(*statement, *prepared.refused);
        statement->preparedKind = prepared.kind;
        statement->preparedSemantics = prepared.semantics;
        statement->preparedFollowUp = prepared.followUp;
        return REAL(SQLPrepareW)(handle, wide(prepared.text), SQL_NTS);
    });
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT handle) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLExecute)(handle);
    statement->records.clear();
    Connection& connection = *statement->connection;
    if (connection.dead) return deadLink(*statement, connection);
    const auto run = [&] {
        return runRows(handle, *statement, [&] { return REAL(SQLExecute)(handle); });
    };
    if (statement->preparedKind == StatementKind::Ddl)
        return runDdl(connection, run, statement->preparedFollowUp);
    const SQLRETURN rc = run();
    if (ok(rc) && statement->preparedSemantics)
        connection.charSemantics = *statement->preparedSemantics;
    return rc;
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLExecDirectW)(handle, text, length);
    statement->records.clear();
    Connection& connection = *statement->connection;
    if (connection.dead) return deadLink(*statement, connection);
    const Prepared prepared = prepareText(connection, wideText(text, length));
    if (prepared.refused) return fail(*statement, *prepared.refused);
    const auto run = [&] {
        if (statement->parameters.empty())
            return runRows(handle, *statement, [&] {
                return REAL(SQLExecDirectW)(handle, wide(prepared.text), SQL_NTS);
            });
        const SQLRETURN rc = REAL(SQLPrepareW)(handle, wide(prepared.text), SQL_NTS);
        if (!ok(rc)) return afterFailure(rc, SQL_HANDLE_STMT, handle, *statement, connection);
        return runRows(handle, *statement, [&] { return REAL(SQLExecute)(handle); });
    };
    if (prepared.kind == StatementKind::Ddl) return runDdl(connection, run, prepared.followUp);
    const SQLRETURN rc = run();
    if (ok(rc) && prepared.semantics) connection.charSemantics = *prepared.semantics;
    return rc;
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT handle, SQLSMALLINT* count) {
    return onStatement(handle, false, [&] { return REAL(SQLNumParams)(handle, count); });
}

SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT* type,
                                   SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
    return onStatement(handle, true, [&] {
        return REAL(SQLDescribeParam)(handle, number, type, size, digits, nullable);
    });
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT io,
                                   SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize,
                                   SQLSMALLINT digits, SQLPOINTER data, SQLLEN bufferLength,
                                   SQLLEN* indicator) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    const SQLRETURN rc = onStatement(handle, false, [&] {
        return REAL(SQLBindParameter)(handle, number, io, cType, sqlType, columnSize, digits, data,
                                      bufferLength, indicator);
    });
    if (statement && ok(rc))
        statement->parameters[number] = {io,     cType, sqlType,      columnSize,
                                         digits, data,  bufferLength, indicator};
    return rc;
}

SQLRETURN SQL_API SQLParamData(SQLHSTMT handle, SQLPOINTER* value) {
    return onStatement(handle, true, [&] { return REAL(SQLParamData)(handle, value); });
}

SQLRETURN SQL_API SQLPutData(SQLHSTMT handle, SQLPOINTER data, SQLLEN length) {
    return onStatement(handle, true, [&] { return REAL(SQLPutData)(handle, data, length); });
}

SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                  SQLINTEGER length) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLSetStmtAttrW)(handle, attribute, value, length);
    statement->records.clear();
    const auto number = reinterpret_cast<SQLULEN>(value);
    switch (attribute) {
        case SQL_ATTR_PARAMSET_SIZE:
            if (number > 1 && statement->connection->settings.noParamArrays) {
                statement->paramsetSize = 1;
                statement->records = {{u"01S02", 0, u"[Oracle][ODBC]Option value changed."}};
                return SQL_SUCCESS_WITH_INFO;
            }
            statement->paramsetSize = std::max<SQLULEN>(number, 1);
            return SQL_SUCCESS;
        case SQL_ATTR_PARAM_STATUS_PTR:
            statement->paramStatus = static_cast<SQLUSMALLINT*>(value);
            return SQL_SUCCESS;
        case SQL_ATTR_PARAMS_PROCESSED_PTR:
            statement->paramsProcessed = static_cast<SQLULEN*>(value);
            return SQL_SUCCESS;
        case SQL_ATTR_PARAM_BIND_TYPE:
            statement->paramBindType = number;
            return SQL_SUCCESS;
        case SQL_ATTR_ROWS_FETCHED_PTR:
            statement->appRowsFetched = static_cast<SQLULEN*>(value);
            return SQL_SUCCESS;
        default:
            break;
    }
    const SQLRETURN rc = onStatement(
        handle, false, [&] { return REAL(SQLSetStmtAttrW)(handle, attribute, value, length); });
    if (ok(rc) && attribute == SQL_ATTR_ROW_BIND_TYPE) statement->rowBindType = number;
    if (ok(rc) && attribute == SQL_ATTR_ROW_ARRAY_SIZE) statement->rowArraySize = number;
    return rc;
}

SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                  SQLINTEGER bufferLength, SQLINTEGER* length) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (statement && value) {
        const auto answer = [&](auto given) {
            *static_cast<decltype(given)*>(value) = given;
            if (length) *length = sizeof(given);
            return SQL_SUCCESS;
        };
        switch (attribute) {
            case SQL_ATTR_PARAMSET_SIZE:
                return answer(statement->paramsetSize);
            case SQL_ATTR_PARAM_BIND_TYPE:
                return answer(statement->paramBindType);
            case SQL_ATTR_PARAM_STATUS_PTR:
                return answer(static_cast<SQLPOINTER>(statement->paramStatus));
            case SQL_ATTR_PARAMS_PROCESSED_PTR:
                return answer(static_cast<SQLPOINTER>(statement->paramsProcessed));
            case SQL_ATTR_ROWS_FETCHED_PTR:
                return answer(static_cast<SQLPOINTER>(statement->appRowsFetched));
            default:
                break;
        }
    }
    return onStatement(handle, false, [&] {
        return REAL(SQLGetStmtAttrW)(handle, attribute, value, bufferLength, length);
    });
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
    if (const auto statement = statementOf(handle)) {
        if (option == SQL_RESET_PARAMS) statement->parameters.clear();
        if (option == SQL_UNBIND) statement->columns.clear();
        if (option == SQL_DROP) {
            const std::lock_guard lock(mapsMutex);
            statements.erase(handle);
        }
    }
    return REAL(SQLFreeStmt)(handle, option);
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT handle) {
    return onStatement(handle, false, [&] { return REAL(SQLCloseCursor)(handle); });
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
    return onStatement(handle, true, [&] { return REAL(SQLNumResultCols)(handle, count); });
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT handle, SQLUSMALLINT column, SQLWCHAR* name,
                                  SQLSMALLINT nameMax, SQLSMALLINT* nameLength, SQLSMALLINT* type,
                                  SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
    return onStatement(handle, true, [&] {
        return REAL(SQLDescribeColW)(handle, column, name, nameMax, nameLength, type, size, digits,
                                     nullable);
    });
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT handle, SQLUSMALLINT column, SQLUSMALLINT field,
                                   SQLPOINTER text, SQLSMALLINT textMax, SQLSMALLINT* textLength,
                                   SQLLEN* number) {
    return onStatement(handle, true, [&] {
        return REAL(SQLColAttributeW)(handle, column, field, text, textMax, textLength, number);
    });
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT type,
                             SQLPOINTER data, SQLLEN bufferLength, SQLLEN* indicator) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    const SQLRETURN rc = onStatement(handle, false, [&] {
        return REAL(SQLBindCol)(handle, number, type, data, bufferLength, indicator);
    });
    if (statement && ok(rc)) {
        if (data || indicator)
            statement->columns[number] = {type, data, bufferLength, indicator};
        else
            statement->columns.erase(number);
    }
    return rc;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLFetch)(handle);
    const SQLRETURN rc = onStatement(handle, true, [&] {
        const Running running(*statement->connection, handle);
        return REAL(SQLFetch)(handle);
    });
    if (ok(rc) && afterFetch(*statement)) return garbledFetch(*statement);
    return rc;
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT handle, SQLSMALLINT orientation, SQLLEN offset) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLFetchScroll)(handle, orientation, offset);
    const SQLRETURN rc = onStatement(handle, true, [&] {
        const Running running(*statement->connection, handle);
        return REAL(SQLFetchScroll)(handle, orientation, offset);
    });
    if (ok(rc) && afterFetch(*statement)) return garbledFetch(*statement);
    return rc;
}

SQLRETURN SQL_API SQLSetPos(SQLHSTMT handle, SQLSETPOSIROW row, SQLUSMALLINT operation,
                            SQLUSMALLINT lock) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLSetPos)(handle, row, operation, lock);
    // Whether libsqora positions on a row of a block is not documented.
    if (statement->connection->settings.noSetPos) {
        statement->records.clear();
        return failOptional(*statement);
    }
    const SQLRETURN rc =
        onStatement(handle, true, [&] { return REAL(SQLSetPos)(handle, row, operation, lock); });
    if (ok(rc) && operation == SQL_POSITION) {
        statement->position = row;
        statement->lastGetDataColumn = 0;
    }
    return rc;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT type,
                             SQLPOINTER value, SQLLEN bufferLength, SQLLEN* indicator) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLGetData)(handle, column, type, value, bufferLength, indicator);
    // A real driver was seen answering SQL_NO_DATA for every row of a block
    // after its first.
    if (statement->connection->settings.blockGetDataNoData && statement->position > 1) {
        statement->records.clear();
        return SQL_NO_DATA;
    }
    const SQLRETURN rc = onStatement(handle, true, [&] {
        const Running running(*statement->connection, handle);
        return REAL(SQLGetData)(handle, column, type, value, bufferLength, indicator);
    });
    if (ok(rc) && (type == SQL_C_WCHAR || type == SQL_C_CHAR)) {
        const bool first = column != statement->lastGetDataColumn;
        statement->lastGetDataColumn = column;
        asRead(*statement->connection,
               type == SQL_C_WCHAR ? static_cast<char16_t*>(value) : nullptr, indicator, first);
    }
    return rc;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
    return onStatement(handle, false, [&] { return REAL(SQLRowCount)(handle, count); });
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle) {
    return onStatement(handle, true, [&] { return REAL(SQLMoreResults)(handle); });
}

// Oracle: SQLCancel is a break on the whole connection: it stops whatever
// runs there, on any statement, a COMMIT included (ORA-01013 for it).
SQLRETURN SQL_API SQLCancel(SQLHSTMT handle) {
    const std::shared_ptr<Statement> statement = statementOf(handle);
    if (!statement) return REAL(SQLCancel)(handle);
    Connection& connection = *statement->connection;
    {
        const std::lock_guard lock(connection.runningMutex);
        if (connection.running && connection.running != handle) REAL(SQLCancel)(connection.running);
    }
    return REAL(SQLCancel)(handle);
}

SQLRETURN SQL_API SQLGetCursorNameW(SQLHSTMT handle, SQLWCHAR* name, SQLSMALLINT nameMax,
                                    SQLSMALLINT* length) {
    return onStatement(handle, false,
                       [&] { return REAL(SQLGetCursorNameW)(handle, name, nameMax, length); });
}

SQLRETURN SQL_API SQLSetCursorNameW(SQLHSTMT handle, SQLWCHAR* name, SQLSMALLINT length) {
    return onStatement(handle, false,
                       [&] { return REAL(SQLSetCursorNameW)(handle, name, length); });
}

SQLRETURN SQL_API SQLTablesW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                             SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                             SQLSMALLINT tableLength, SQLWCHAR* types, SQLSMALLINT typesLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLTablesW)(handle, catalog, catalogLength, schema, schemaLength, table,
                                tableLength, types, typesLength);
    });
}

SQLRETURN SQL_API SQLColumnsW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                              SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                              SQLSMALLINT tableLength, SQLWCHAR* column, SQLSMALLINT columnLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLColumnsW)(handle, catalog, catalogLength, schema, schemaLength, table,
                                 tableLength, column, columnLength);
    });
}

SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT handle, SQLSMALLINT type) {
    return onStatement(handle, true, [&] { return REAL(SQLGetTypeInfoW)(handle, type); });
}

SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                  SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                                  SQLSMALLINT tableLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLPrimaryKeysW)(handle, catalog, catalogLength, schema, schemaLength, table,
                                     tableLength);
    });
}

SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                 SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                                 SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                 SQLUSMALLINT accuracy) {
    return onStatement(handle, true, [&] {
        return REAL(SQLStatisticsW)(handle, catalog, catalogLength, schema, schemaLength, table,
                                    tableLength, unique, accuracy);
    });
}

SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT handle, SQLUSMALLINT type, SQLWCHAR* catalog,
                                     SQLSMALLINT catalogLength, SQLWCHAR* schema,
                                     SQLSMALLINT schemaLength, SQLWCHAR* table,
                                     SQLSMALLINT tableLength, SQLUSMALLINT scope,
                                     SQLUSMALLINT nullable) {
    return onStatement(handle, true, [&] {
        return REAL(SQLSpecialColumnsW)(handle, type, catalog, catalogLength, schema, schemaLength,
                                        table, tableLength, scope, nullable);
    });
}

SQLRETURN SQL_API SQLForeignKeysW(SQLHSTMT handle, SQLWCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                                  SQLWCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLWCHAR* pkTable,
                                  SQLSMALLINT pkTableLength, SQLWCHAR* fkCatalog,
                                  SQLSMALLINT fkCatalogLength, SQLWCHAR* fkSchema,
                                  SQLSMALLINT fkSchemaLength, SQLWCHAR* fkTable,
                                  SQLSMALLINT fkTableLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLForeignKeysW)(handle, pkCatalog, pkCatalogLength, pkSchema, pkSchemaLength,
                                     pkTable, pkTableLength, fkCatalog, fkCatalogLength, fkSchema,
                                     fkSchemaLength, fkTable, fkTableLength);
    });
}

SQLRETURN SQL_API SQLProceduresW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                 SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                                 SQLSMALLINT procedureLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLProceduresW)(handle, catalog, catalogLength, schema, schemaLength, procedure,
                                    procedureLength);
    });
}

SQLRETURN SQL_API SQLProcedureColumnsW(SQLHSTMT handle, SQLWCHAR* catalog,
                                       SQLSMALLINT catalogLength, SQLWCHAR* schema,
                                       SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                                       SQLSMALLINT procedureLength, SQLWCHAR* column,
                                       SQLSMALLINT columnLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLProcedureColumnsW)(handle, catalog, catalogLength, schema, schemaLength,
                                          procedure, procedureLength, column, columnLength);
    });
}

SQLRETURN SQL_API SQLTablePrivilegesW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                      SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                                      SQLSMALLINT tableLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLTablePrivilegesW)(handle, catalog, catalogLength, schema, schemaLength,
                                         table, tableLength);
    });
}

SQLRETURN SQL_API SQLColumnPrivilegesW(SQLHSTMT handle, SQLWCHAR* catalog,
                                       SQLSMALLINT catalogLength, SQLWCHAR* schema,
                                       SQLSMALLINT schemaLength, SQLWCHAR* table,
                                       SQLSMALLINT tableLength, SQLWCHAR* column,
                                       SQLSMALLINT columnLength) {
    return onStatement(handle, true, [&] {
        return REAL(SQLColumnPrivilegesW)(handle, catalog, catalogLength, schema, schemaLength,
                                          table, tableLength, column, columnLength);
    });
}

SQLRETURN SQL_API SQLGetDescFieldW(SQLHDESC handle, SQLSMALLINT record, SQLSMALLINT field,
                                   SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER* length) {
    return REAL(SQLGetDescFieldW)(handle, record, field, value, bufferLength, length);
}

SQLRETURN SQL_API SQLSetDescFieldW(SQLHDESC handle, SQLSMALLINT record, SQLSMALLINT field,
                                   SQLPOINTER value, SQLINTEGER length) {
    return REAL(SQLSetDescFieldW)(handle, record, field, value, length);
}

SQLRETURN SQL_API SQLGetDescRecW(SQLHDESC handle, SQLSMALLINT record, SQLWCHAR* name,
                                 SQLSMALLINT nameMax, SQLSMALLINT* nameLength, SQLSMALLINT* type,
                                 SQLSMALLINT* subType, SQLLEN* length, SQLSMALLINT* precision,
                                 SQLSMALLINT* scale, SQLSMALLINT* nullable) {
    return REAL(SQLGetDescRecW)(handle, record, name, nameMax, nameLength, type, subType, length,
                                precision, scale, nullable);
}

SQLRETURN SQL_API SQLCopyDesc(SQLHDESC source, SQLHDESC target) {
    return REAL(SQLCopyDesc)(source, target);
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                                 SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                                 SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
    Own* own = ownOf(type, handle);
    if (!own || own->records.empty())
        return REAL(SQLGetDiagRecW)(type, handle, number, state, native, message, messageMax,
                                    messageLength);
    if (number < 1) return SQL_ERROR;
    if (std::size_t(number) > own->records.size()) return SQL_NO_DATA;
    const Record& record = own->records[std::size_t(number - 1)];
    if (state) {
        std::memcpy(state, record.state.data(), 5 * sizeof(char16_t));
        state[5] = 0;
    }
    if (native) *native = record.native;
    SQLLEN bytes = 0;
    Own scratch;
    const SQLRETURN rc = putBytes(scratch, record.message, message,
                                  SQLLEN(messageMax) * SQLLEN(sizeof(char16_t)), &bytes);
    if (messageLength) *messageLength = SQLSMALLINT(bytes / SQLLEN(sizeof(char16_t)));
    return rc;
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                                   SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* length) {
    Own* own = ownOf(type, handle);
    if (!own || own->records.empty())
        return REAL(SQLGetDiagFieldW)(type, handle, number, field, value, bufferLength, length);
    if (number == 0) {
        if (field == SQL_DIAG_NUMBER) {
            if (value) *static_cast<SQLINTEGER*>(value) = SQLINTEGER(own->records.size());
            return SQL_SUCCESS;
        }
        return REAL(SQLGetDiagFieldW)(type, handle, number, field, value, bufferLength, length);
    }
    if (std::size_t(number) > own->records.size()) return SQL_NO_DATA;
    const Record& record = own->records[std::size_t(number - 1)];
    Own scratch;
    const auto text = [&](std::u16string_view answer) {
        SQLLEN bytes = 0;
        const SQLRETURN rc = putBytes(scratch, answer, value, bufferLength, &bytes);
        if (length) *length = SQLSMALLINT(bytes);
        return rc;
    };
    switch (field) {
        case SQL_DIAG_SQLSTATE:
            return text(record.state);
        case SQL_DIAG_MESSAGE_TEXT:
            return text(record.message);
        case SQL_DIAG_CLASS_ORIGIN:
        case SQL_DIAG_SUBCLASS_ORIGIN:
            return text(u"ODBC 3.0");
        case SQL_DIAG_CONNECTION_NAME:
        case SQL_DIAG_SERVER_NAME:
            return text(u"");
        case SQL_DIAG_NATIVE:
            if (value) *static_cast<SQLINTEGER*>(value) = record.native;
            return SQL_SUCCESS;
        case SQL_DIAG_ROW_NUMBER:
            if (value) *static_cast<SQLLEN*>(value) = SQL_ROW_NUMBER_UNKNOWN;
            return SQL_SUCCESS;
        case SQL_DIAG_COLUMN_NUMBER:
            if (value) *static_cast<SQLINTEGER*>(value) = SQL_COLUMN_NUMBER_UNKNOWN;
            return SQL_SUCCESS;
        default:
            return SQL_ERROR;
    }
}

}  // extern "C"
