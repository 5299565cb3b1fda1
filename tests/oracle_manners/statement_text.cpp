#include "statement_text.h"

#include <algorithm>

namespace manners {
namespace {

enum class TokenKind { Word, QuotedName, String, Number, Symbol, Skipped };

struct Token {
    TokenKind kind;
    std::size_t begin;
    std::size_t end;  // one past the last code unit
};

bool isWordStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}
bool isWordPart(char16_t c) {
    return isWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$' || c == u'#';
}
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Comments and dollar-quoted bodies are skipped whole; a literal or quoted
// name runs to its closing quote, doubled quotes inside it.
std::vector<Token> tokens(std::u16string_view text) {
    std::vector<Token> found;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const char16_t c = text[i];
        const std::size_t begin = i;
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && text[i + 1] == u'-') {
            while (i < n && text[i] != u'\n') ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && text[i + 1] == u'*') {
            const std::size_t close = text.find(u"*/", i + 2);
            i = close == std::u16string_view::npos ? n : close + 2;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            ++i;
            while (i < n) {
                if (text[i] == c) {
                    if (i + 1 < n && text[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            found.push_back({c == u'\'' ? TokenKind::String : TokenKind::QuotedName, begin, i});
            continue;
        }
        if (c == u'$') {
            std::size_t t = i + 1;
            while (t < n && isWordPart(text[t]) && text[t] != u'$') ++t;
            if (t < n && text[t] == u'$' && !(t > i + 1 && isDigit(text[i + 1]))) {
                const std::u16string_view tag = text.substr(i, t - i + 1);
                const std::size_t close = text.find(tag, t + 1);
                i = close == std::u16string_view::npos ? n : close + tag.size();
                found.push_back({TokenKind::Skipped, begin, i});
                continue;
            }
        }
        if (isWordStart(c)) {
            while (i < n && isWordPart(text[i])) ++i;
            found.push_back({TokenKind::Word, begin, i});
            continue;
        }
        if (isDigit(c)) {
            while (i < n && (isDigit(text[i]) || text[i] == u'.')) ++i;
            found.push_back({TokenKind::Number, begin, i});
            continue;
        }
        ++i;
        found.push_back({TokenKind::Symbol, begin, i});
    }
    return found;
}

std::u16string upper(std::u16string_view text) {
    std::u16string result(text);
    for (char16_t& c : result)
        if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    return result;
}

bool isWord(std::u16string_view text, const Token& token, std::u16string_view word) {
    return token.kind == TokenKind::Word &&
           upper(text.substr(token.begin, token.end - token.begin)) == word;
}

bool isSymbol(std::u16string_view text, const Token& token, char16_t symbol) {
    return token.kind == TokenKind::Symbol && text[token.begin] == symbol;
}

// A name as the server keeps it: a quoted one without its quotes.
std::u16string nameOf(std::u16string_view text, const Token& token) {
    std::u16string_view name = text.substr(token.begin, token.end - token.begin);
    if (token.kind != TokenKind::QuotedName) return std::u16string(name);
    std::u16string unquoted;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        unquoted += name[i];
        if (name[i] == u'"') ++i;
    }
    return unquoted;
}

}  // namespace

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf16(std::string_view text) {
    // The driver's own texts are ASCII.
    return std::u16string(text.begin(), text.end());
}

StatementKind KindOf(std::u16string_view text) {
    const std::vector<Token> found = tokens(text);
    if (found.empty()) return StatementKind::Other;
    if (found.size() > 1 && isWord(text, found[0], u"ALTER") && isWord(text, found[1], u"SESSION"))
        return StatementKind::SessionSettings;
    for (const std::u16string_view word :
         {u"CREATE", u"ALTER", u"DROP", u"RENAME", u"TRUNCATE", u"COMMENT", u"GRANT", u"REVOKE"})
        if (isWord(text, found[0], word)) return StatementKind::Ddl;
    return StatementKind::Other;
}

std::optional<bool> CharSemanticsSet(std::u16string_view text) {
    const std::vector<Token> found = tokens(text);
    if (found.size() < 6 || !isWord(text, found[2], u"SET") ||
        !isWord(text, found[3], u"NLS_LENGTH_SEMANTICS") || !isSymbol(text, found[4], u'='))
        return std::nullopt;
    const std::u16string value = upper(nameOf(text, found[5]));
    if (value == u"CHAR") return true;
    if (value == u"BYTE") return false;
    return std::nullopt;
}

std::optional<std::string> NameOverLimit(std::u16string_view text, std::size_t limit) {
    for (const Token& token : tokens(text)) {
        if (token.kind != TokenKind::Word && token.kind != TokenKind::QuotedName) continue;
        const std::string name = Utf8(nameOf(text, token));
        if (name.size() > limit) return name;
    }
    return std::nullopt;
}

std::u16string AsciiOnly(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            result += c;
            continue;
        }
        result += u'?';
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            ++i;
    }
    return result;
}

std::u16string EmptyLiteralsAsNull(std::u16string_view text) {
    std::u16string result;
    std::size_t done = 0;
    for (const Token& token : tokens(text)) {
        if (token.kind != TokenKind::String || token.end - token.begin != 2) continue;
        // E'' and N'' are empty literals too; U&'' is left alone.
        std::size_t begin = token.begin;
        if (begin > 0 &&
            (text[begin - 1] == u'E' || text[begin - 1] == u'e' || text[begin - 1] == u'N' ||
             text[begin - 1] == u'n') &&
            (begin == 1 || !isWordPart(text[begin - 2])))
            --begin;
        else if (begin > 0 && isWordPart(text[begin - 1]))
            continue;
        result.append(text.substr(done, begin - done));
        result += u"NULL";
        done = token.end;
    }
    result.append(text.substr(done));
    return result;
}

std::optional<CreateTable> ReadCreateTable(std::u16string_view text, bool charSemantics) {
    const std::vector<Token> found = tokens(text);
    std::size_t t = 0;
    if (found.size() < 4 || !isWord(text, found[t++], u"CREATE")) return std::nullopt;
    if (isWord(text, found[t], u"GLOBAL")) t += 2;  // GLOBAL TEMPORARY
    if (t >= found.size() || !isWord(text, found[t++], u"TABLE")) return std::nullopt;
    if (t >= found.size()) return std::nullopt;
    CreateTable table;
    table.tableText = text.substr(found[t].begin, found[t].end - found[t].begin);
    ++t;
    if (t >= found.size() || !isSymbol(text, found[t], u'(')) return std::nullopt;
    ++t;

    std::u16string out(text.substr(0, found[t].begin));
    std::size_t copied = found[t].begin;
    // One definition per round: from its first token to the comma or the
    // closing parenthesis at depth 0.
    while (t < found.size()) {
        const std::size_t first = t;
        int depth = 0;
        std::size_t last = t;
        for (; last < found.size(); ++last) {
            if (isSymbol(text, found[last], u'(')) ++depth;
            if (isSymbol(text, found[last], u')')) {
                if (depth == 0) break;
                --depth;
            }
            if (depth == 0 && isSymbol(text, found[last], u',')) break;
        }
        if (last >= found.size()) return std::nullopt;
        bool isColumn = true;
        for (const std::u16string_view word :
             {u"CONSTRAINT", u"PRIMARY", u"UNIQUE", u"CHECK", u"FOREIGN"})
            if (isWord(text, found[first], word)) isColumn = false;
        if (isColumn && last > first) {
            ++table.columns;
            const std::size_t type = first + 1;
            const bool varchar =
                last - type >= 4 &&
                (isWord(text, found[type], u"VARCHAR") || isWord(text, found[type], u"VARCHAR2")) &&
                isSymbol(text, found[type + 1], u'(') && found[type + 2].kind == TokenKind::Number;
            if (varchar) {
                std::size_t close = type + 3;
                bool columnChar = charSemantics;
                if (isWord(text, found[close], u"CHAR"))
                    columnChar = true, ++close;
                else if (isWord(text, found[close], u"BYTE"))
                    columnChar = false, ++close;
                if (close < last && isSymbol(text, found[close], u')')) {
                    const std::u16string_view digits = text.substr(
                        found[type + 2].begin, found[type + 2].end - found[type + 2].begin);
                    const int size = std::stoi(Utf8(digits));
                    // Character semantics still stop at the 4,000 bytes a
                    // VARCHAR2 holds.
                    const int maximum = columnChar ? 4000 : size;
                    const std::u16string column(
                        text.substr(found[first].begin, found[first].end - found[first].begin));
                    out.append(text.substr(copied, found[type].begin - copied));
                    out += u"varchar(" + std::u16string(digits) + u")";
                    copied = found[close].end;
                    table.limited.push_back({column, nameOf(text, found[first]), maximum});
                }
            }
        }
        t = last + 1;
        if (isSymbol(text, found[last], u')')) break;
    }
    out.append(text.substr(copied));
    table.rewritten = std::move(out);
    return table;
}

std::u16string LengthCheck(const CreateTable& table, const std::u16string& function) {
    if (table.limited.empty()) return {};
    std::u16string body;
    for (const auto& limited : table.limited) {
        std::u16string name;
        for (const char16_t c : limited.column) name += c == u'\'' ? u"''" : std::u16string(1, c);
        const std::u16string maximum = Utf16(std::to_string(limited.maximumBytes));
        const std::u16string value = u"NEW." + limited.columnText;
        body += u"IF octet_length(" + value + u") > " + maximum +
                u" THEN RAISE EXCEPTION USING ERRCODE = '22001', MESSAGE = format("
                u"'om12899 value too large for column \"%s\".\"%s\" (actual: %s, maximum: %s)', "
                u"TG_TABLE_NAME, '" +
                name + u"', octet_length(" + value + u"), " + maximum + u"); END IF; ";
    }
    return u"CREATE FUNCTION " + function + u"() RETURNS trigger LANGUAGE plpgsql AS $om$BEGIN " +
           body + u"RETURN NEW; END$om$; CREATE TRIGGER om12899 BEFORE INSERT OR UPDATE ON " +
           table.tableText + u" FOR EACH ROW EXECUTE FUNCTION " + function + u"()";
}

}  // namespace manners
