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
// VARCHAR2(n [BYTE|CHAR]) becomes varchar(n) and each such column gets a
// check of its length in bytes, named "om12899_<column number>".
struct CreateTable {
    std::u16string rewritten;
    std::string table;
    int columns = 0;
    struct Limited {
        int number = 0;
        std::string column;
        int maximumBytes = 0;
    };
    std::vector<Limited> limited;
};

// None when the text is not a CREATE TABLE with a column list.
// charSemantics: the session's length rule, for columns that name none.
std::optional<CreateTable> ReadCreateTable(std::u16string_view text, bool charSemantics);

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

}  // namespace manners
