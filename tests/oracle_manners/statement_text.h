#pragma once

// What the Oracle-manners driver reads in a statement's text before the
// real driver sees it: the kind of statement, names over Oracle's limit, the
// empty literal and the columns of a CREATE TABLE. A small scanner, enough
// for the statements the program and its tests send, not a SQL parser.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace manners {

enum class StatementKind {
    Other,
    Ddl,              // CREATE, ALTER, DROP, RENAME, TRUNCATE, COMMENT, GRANT, REVOKE
    SessionSettings,  // ALTER SESSION SET ...
};

StatementKind KindOf(std::u16string_view text);

// ALTER SESSION SET NLS_LENGTH_SEMANTICS = CHAR|BYTE: true for CHAR, false
// for BYTE, none when the statement sets something else.
std::optional<bool> CharSemanticsSet(std::u16string_view text);

// The first name (quoted or not) longer than limit bytes in UTF-8.
std::optional<std::string> NameOverLimit(std::u16string_view text, std::size_t limit);

// Every character outside ASCII as '?', a surrogate pair as one character.
std::u16string AsciiOnly(std::u16string_view text);

// The text with every empty string literal written as NULL.
std::u16string EmptyLiteralsAsNull(std::u16string_view text);

// A CREATE TABLE with its column list, rewritten for the real server:
// VARCHAR2(n [BYTE|CHAR]) becomes varchar(n). The columns' limits in bytes
// are kept for a trigger that checks them (LengthCheck).
struct CreateTable {
    std::u16string rewritten;
    std::u16string tableText;  // the name as written
    int columns = 0;
    struct Limited {
        std::u16string columnText;  // the name as written
        std::u16string column;      // as the server keeps it
        int maximumBytes = 0;
    };
    std::vector<Limited> limited;
};

// None when the text is not a CREATE TABLE with a column list.
// charSemantics: the session's length rule, for columns that name none.
std::optional<CreateTable> ReadCreateTable(std::u16string_view text, bool charSemantics);

// The statements that make a trigger (and its function, named function)
// refusing a value over a column's limit in bytes with SQLSTATE 22001 and
// the message "om12899 " and Oracle's words for ORA-12899; empty when no
// column has a limit. A trigger, not CHECK constraints: PostgreSQL plans a
// table's checks again at every statement, a trigger's once a session.
std::u16string LengthCheck(const CreateTable& table, const std::u16string& function);

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

}  // namespace manners
