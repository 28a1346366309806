#include "translate.h"

#include <QRegularExpression>

#include <vector>

using namespace Qt::StringLiterals;

namespace store {

namespace {

enum class Tok { Space, String, Ident, Hash, Word, Number, Punct };

struct Token {
    Tok type;
    QString text; // source text; for String the unquoted value, for Ident the bare name
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.unicode() >= 0x80;
}

bool tokenize(const QString& s, std::vector<Token>& out, QString& error) {
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            int j = i;
            while (j < n && s[j].isSpace())
                ++j;
            out.push_back({Tok::Space, s.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('\'')) {
            QString value;
            int j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && s[j + 1] == QLatin1Char('\'')) {
                        value += QLatin1Char('\'');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += s[j++];
            }
            if (!closed) {
                error = u"unterminated text literal"_s;
                return false;
            }
            out.push_back({Tok::String, value});
            i = j;
        } else if (c == QLatin1Char('[') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            const int j = s.indexOf(close, i + 1);
            if (j < 0) {
                error = u"unterminated name"_s;
                return false;
            }
            out.push_back({Tok::Ident, s.mid(i + 1, j - i - 1)});
            i = j + 1;
        } else if (c == QLatin1Char('#')) {
            const int j = s.indexOf(QLatin1Char('#'), i + 1);
            if (j < 0) {
                error = u"unterminated date literal"_s;
                return false;
            }
            out.push_back({Tok::Hash, s.mid(i + 1, j - i - 1).trimmed()});
            i = j + 1;
        } else if (isWordChar(c)) {
            int j = i;
            while (j < n && (isWordChar(s[j]) || (s[j] == QLatin1Char('.') && j > i && s[i].isDigit())))
                ++j;
            const QString word = s.mid(i, j - i);
            bool numeric = true;
            for (QChar w : word)
                numeric = numeric && (w.isDigit() || w == QLatin1Char('.'));
            out.push_back({numeric ? Tok::Number : Tok::Word, word});
            i = j;
        } else {
            out.push_back({Tok::Punct, QString(c)});
            ++i;
        }
    }
    return true;
}

// Names go between brackets: SQLite never reads a bracketed name as a text literal, whereas a
// double-quoted name that matches no column would silently become a string.
QString quoteIdent(const QString& name, Dialect dialect = Dialect::SQLite) {
    if (dialect == Dialect::PostgreSQL) {
        // Quoted, so that a plate or a Chinese name is kept exactly as written.
        QString escaped = name;
        escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + escaped + QLatin1Char('"');
    }
    if (!name.contains(QLatin1Char(']')))
        return QLatin1Char('[') + name + QLatin1Char(']');
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString quoteString(const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

bool isAsciiKeywordish(const QString& word) {
    for (QChar c : word)
        if (c.unicode() >= 0x80)
            return false;
    return !word.isEmpty() && !word[0].isDigit();
}

bool isWord(const Token& t, const char* keyword) {
    return t.type == Tok::Word && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool isPunct(const Token& t, char c) {
    return t.type == Tok::Punct && t.text == QLatin1Char(c);
}

bool isName(const Token& t) {
    return t.type == Tok::Word || t.type == Tok::Ident;
}

// Positions of the non-blank tokens, so that patterns can be matched whatever the spacing.
std::vector<int> significant(const std::vector<Token>& tokens) {
    std::vector<int> idx;
    for (int i = 0; i < int(tokens.size()); ++i)
        if (tokens[i].type != Tok::Space)
            idx.push_back(i);
    return idx;
}

// How tokens are written out: the dialect, and the number of the next "?" parameter (the server
// numbers its parameters $1, $2, ...).
struct Renderer {
    Dialect dialect = Dialect::SQLite;
    int nextParameter = 1;

    bool server() const { return dialect == Dialect::PostgreSQL; }

    QString token(const Token& t, QString& error) {
        switch (t.type) {
        case Tok::Space:
        case Tok::Number:
            return t.text;
        case Tok::Punct:
            if (server() && t.text == QLatin1Char('?'))
                return QLatin1Char('$') + QString::number(nextParameter++);
            return t.text;
        case Tok::String:
            return quoteString(t.text);
        case Tok::Ident:
            return quoteIdent(t.text, dialect);
        case Tok::Hash: {
            const QDate d = ParseJetDate(t.text);
            if (!d.isValid()) {
                error = u"invalid date literal #%1#"_s.arg(t.text);
                return {};
            }
            // A typed literal on the server, where the columns are of type date.
            return (server() ? u"DATE "_s : QString()) + quoteString(d.toString(Qt::ISODate));
        }
        case Tok::Word:
            // Yes/no columns are boolean on the server, integers 0/1 in the file.
            if (t.text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                return server() ? u"TRUE"_s : u"1"_s;
            if (t.text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                return server() ? u"FALSE"_s : u"0"_s;
            return isAsciiKeywordish(t.text) ? t.text : quoteIdent(t.text, dialect);
        }
        return t.text;
    }

    QString render(const std::vector<Token>& tokens, int from, int to, QString& error) {
        QString out;
        for (int i = from; i < to && error.isEmpty(); ++i) {
            // The server would read "--" and "/*" as the start of a comment, and what the
            // translator took for a text after them as SQL: written apart, they stay operators.
            if (server() && i > from && tokens[i].type == Tok::Punct && tokens[i - 1].type == Tok::Punct &&
                ((tokens[i].text == QLatin1Char('-') && tokens[i - 1].text == QLatin1Char('-')) ||
                 (tokens[i].text == QLatin1Char('*') && tokens[i - 1].text == QLatin1Char('/'))))
                out += QLatin1Char(' ');
            out += token(tokens[i], error);
        }
        return out;
    }
};

// Makes a text value headed for a date column ISO text; an empty text stores no date.
bool normaliseDateValue(Token& value, const QString& column, QString& error) {
    if (value.type != Tok::String)
        return true;
    if (value.text.trimmed().isEmpty()) {
        value = {Tok::Word, u"NULL"_s};
        return true;
    }
    const QDate d = ParseJetDate(value.text);
    if (!d.isValid()) {
        error = u"'%1' is not a valid date for column %2"_s.arg(value.text, column);
        return false;
    }
    value.text = d.toString(Qt::ISODate);
    return true;
}

// Splits the significant tokens between positions [from, to) at top-level commas.
std::vector<std::pair<int, int>> splitTopLevel(const std::vector<Token>& tokens, const std::vector<int>& sig, int from,
                                               int to) {
    std::vector<std::pair<int, int>> parts;
    int depth = 0;
    int start = from;
    for (int k = from; k < to; ++k) {
        const Token& t = tokens[sig[k]];
        if (isPunct(t, '('))
            ++depth;
        else if (isPunct(t, ')'))
            --depth;
        else if (depth == 0 && isPunct(t, ',')) {
            parts.push_back({start, k});
            start = k + 1;
        }
    }
    parts.push_back({start, to});
    return parts;
}

int matchingParen(const std::vector<Token>& tokens, const std::vector<int>& sig, int open) {
    int depth = 0;
    for (int k = open; k < int(sig.size()); ++k) {
        if (isPunct(tokens[sig[k]], '('))
            ++depth;
        else if (isPunct(tokens[sig[k]], ')') && --depth == 0)
            return k;
    }
    return -1;
}

bool convertInsertDates(std::vector<Token>& tokens, const SchemaLookup& schema, QString& error) {
    const auto sig = significant(tokens);
    // insert into T ( cols ) values ( vals )
    if (sig.size() < 4 || !isWord(tokens[sig[1]], "into") || !isName(tokens[sig[2]]) || !isPunct(tokens[sig[3]], '('))
        return true;
    const auto types = schema.columnTypes ? schema.columnTypes(tokens[sig[2]].text) : QHash<QString, QString>{};
    const int colsClose = matchingParen(tokens, sig, 3);
    if (colsClose < 0 || colsClose + 2 >= int(sig.size()) || !isWord(tokens[sig[colsClose + 1]], "values") ||
        !isPunct(tokens[sig[colsClose + 2]], '('))
        return true;
    const int valsClose = matchingParen(tokens, sig, colsClose + 2);
    if (valsClose < 0)
        return true;
    const auto cols = splitTopLevel(tokens, sig, 4, colsClose);
    const auto vals = splitTopLevel(tokens, sig, colsClose + 3, valsClose);
    if (cols.size() != vals.size())
        return true; // SQLite reports the mismatch itself
    for (size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].second - cols[c].first != 1 || vals[c].second - vals[c].first != 1)
            continue;
        const QString column = tokens[sig[cols[c].first]].text;
        if (IsDateType(types.value(column.toLower())) && !normaliseDateValue(tokens[sig[vals[c].first]], column, error))
            return false;
    }
    return true;
}

bool convertUpdateDates(std::vector<Token>& tokens, const SchemaLookup& schema, QString& error) {
    const auto sig = significant(tokens);
    // update T set a = v , b = v [where ...]
    if (sig.size() < 3 || !isName(tokens[sig[1]]) || !isWord(tokens[sig[2]], "set"))
        return true;
    const auto types = schema.columnTypes ? schema.columnTypes(tokens[sig[1]].text) : QHash<QString, QString>{};
    int end = int(sig.size());
    for (int k = 3; k < int(sig.size()); ++k)
        if (isWord(tokens[sig[k]], "where")) {
            end = k;
            break;
        }
    for (const auto& [from, to] : splitTopLevel(tokens, sig, 3, end)) {
        if (to - from != 3 || !isName(tokens[sig[from]]) || !isPunct(tokens[sig[from + 1]], '='))
            continue;
        const QString column = tokens[sig[from]].text;
        if (IsDateType(types.value(column.toLower())) && !normaliseDateValue(tokens[sig[from + 2]], column, error))
            return false;
    }
    return true;
}

} // namespace

bool IsDateType(const QString& declaredType) {
    const QString t = declaredType.trimmed().toUpper();
    return t.startsWith(QLatin1String("DATE"));
}

bool IsYesNoType(const QString& declaredType) {
    const QString t = declaredType.trimmed().toUpper();
    return t.startsWith(QLatin1String("YESNO")) || t.startsWith(QLatin1String("BOOL")) || t == QLatin1String("BIT");
}

QDate ParseJetDate(const QString& text) {
    static const QRegularExpression chinese(u"^\\s*(\\d{4})\\s*年\\s*(\\d{1,2})\\s*月\\s*(\\d{1,2})\\s*日"_s);
    static const QRegularExpression ymd(u"^\\s*(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:$|[\\sT])"_s);
    static const QRegularExpression mdy(u"^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})(?:$|\\s)"_s);
    auto m = chinese.match(text);
    if (!m.hasMatch())
        m = ymd.match(text);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    m = mdy.match(text);
    if (m.hasMatch())
        return QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    return {};
}

namespace {

// "select top n ..." becomes "select ... LIMIT n": neither engine knows TOP.
void moveTopToLimit(std::vector<Token>& tokens) {
    auto sig = significant(tokens);
    if (sig.size() < 3 || !isWord(tokens[sig[0]], "select"))
        return;
    size_t k = 1;
    if (isWord(tokens[sig[k]], "distinct"))
        ++k;
    if (k + 1 >= sig.size() || !isWord(tokens[sig[k]], "top") || tokens[sig[k + 1]].type != Tok::Number)
        return;
    const QString count = tokens[sig[k + 1]].text;
    const bool blankAfter = sig[k + 1] + 1 < int(tokens.size()) && tokens[sig[k + 1] + 1].type == Tok::Space;
    tokens.erase(tokens.begin() + sig[k], tokens.begin() + sig[k + 1] + 1 + (blankAfter ? 1 : 0));
    sig = significant(tokens);
    auto insertAt = tokens.end();
    if (!sig.empty() && isPunct(tokens[sig.back()], ';'))
        insertAt = tokens.begin() + sig.back();
    tokens.insert(insertAt,
                  {{Tok::Space, u" "_s}, {Tok::Word, u"LIMIT"_s}, {Tok::Space, u" "_s}, {Tok::Number, count}});
}

// IIf(condition, a, b) becomes CASE WHEN condition THEN a ELSE b END, which both engines know.
bool replaceIIf(std::vector<Token>& tokens, QString& error) {
    for (;;) {
        const auto sig = significant(tokens);
        int at = -1;
        for (int k = 0; k + 1 < int(sig.size()); ++k)
            if (isWord(tokens[sig[k]], "iif") && isPunct(tokens[sig[k + 1]], '(')) {
                at = k;
                break;
            }
        if (at < 0)
            return true;
        const int close = matchingParen(tokens, sig, at + 1);
        if (close < 0) {
            error = u"unbalanced IIf"_s;
            return false;
        }
        const auto parts = splitTopLevel(tokens, sig, at + 2, close);
        if (parts.size() != 3) {
            error = u"IIf needs three arguments"_s;
            return false;
        }
        auto slice = [&](std::pair<int, int> part) {
            return std::vector<Token>(tokens.begin() + sig[part.first], tokens.begin() + sig[part.second - 1] + 1);
        };
        std::vector<Token> out{
            {Tok::Word, u"CASE"_s}, {Tok::Space, u" "_s}, {Tok::Word, u"WHEN"_s}, {Tok::Space, u" "_s}};
        for (const Token& t : slice(parts[0]))
            out.push_back(t);
        out.insert(out.end(), {{Tok::Space, u" "_s}, {Tok::Word, u"THEN"_s}, {Tok::Space, u" "_s}});
        for (const Token& t : slice(parts[1]))
            out.push_back(t);
        out.insert(out.end(), {{Tok::Space, u" "_s}, {Tok::Word, u"ELSE"_s}, {Tok::Space, u" "_s}});
        for (const Token& t : slice(parts[2]))
            out.push_back(t);
        out.insert(out.end(), {{Tok::Space, u" "_s}, {Tok::Word, u"END"_s}});
        tokens.erase(tokens.begin() + sig[at], tokens.begin() + sig[close] + 1);
        tokens.insert(tokens.begin() + sig[at], out.begin(), out.end());
    }
}

// The server's LIKE differs from the file's twice: it tells case apart, and without an ESCAPE
// clause the backslash escapes. ILIKE, and ESCAPE '' where the statement names none, make a
// pattern match what it matches in the file.
void serverLike(std::vector<Token>& tokens) {
    const auto sig = significant(tokens);
    for (int k = int(sig.size()) - 1; k >= 0; --k) {
        if (!isWord(tokens[sig[k]], "like"))
            continue;
        tokens[sig[k]].text = u"ILIKE"_s;
        if (k + 1 >= int(sig.size()) || tokens[sig[k + 1]].type != Tok::String)
            continue;
        if (k + 2 < int(sig.size()) && isWord(tokens[sig[k + 2]], "escape"))
            continue;
        tokens.insert(tokens.begin() + sig[k + 1] + 1,
                      {{Tok::Space, u" "_s}, {Tok::Word, u"ESCAPE"_s}, {Tok::Space, u" "_s}, {Tok::String, QString()}});
    }
}

// The file's column types in a "create table" (the types the file's own tables declare) become
// the server's: YESNO boolean with its default false, BLOB bytea, an autoincrement key an
// identity column.
void serverColumnTypes(std::vector<Token>& tokens) {
    auto sig = significant(tokens);
    if (sig.size() < 2 || !isWord(tokens[sig[0]], "create") || !isWord(tokens[sig[1]], "table"))
        return;
    for (int k = int(sig.size()) - 1; k >= 0; --k) {
        Token& t = tokens[sig[k]];
        if (isWord(t, "yesno") || isWord(t, "bit")) {
            t.text = u"boolean"_s;
            if (k + 2 < int(sig.size()) && isWord(tokens[sig[k + 1]], "default") &&
                tokens[sig[k + 2]].type == Tok::Number)
                tokens[sig[k + 2]] = {Tok::Word,
                                      tokens[sig[k + 2]].text == QLatin1String("0") ? u"false"_s : u"true"_s};
        } else if (isWord(t, "blob")) {
            t.text = u"bytea"_s;
        } else if (isWord(t, "autoincrement") && k >= 3 && isWord(tokens[sig[k - 1]], "key") &&
                   isWord(tokens[sig[k - 2]], "primary") && isWord(tokens[sig[k - 3]], "integer")) {
            tokens[sig[k - 3]].text = u"integer GENERATED BY DEFAULT AS IDENTITY"_s;
            tokens.erase(tokens.begin() + sig[k - 1] + 1, tokens.begin() + sig[k] + 1);
        }
    }
}

// The program reads rows in table order (the current record is the last one). The file keeps
// rows in the order of their 编号 (or of their insertion); the server keeps none, and moves an
// updated row: a select of one table that names no order of its own gets the file's.
void serverTableOrder(std::vector<Token>& tokens, const SchemaLookup& schema) {
    const auto sig = significant(tokens);
    if (sig.size() < 4 || !isWord(tokens[sig[0]], "select"))
        return;
    int from = -1;
    for (int k = 1; k < int(sig.size()); ++k) {
        const Token& t = tokens[sig[k]];
        for (const char* word : {"order", "group", "union", "distinct", "limit", "join", "into", "having"})
            if (isWord(t, word))
                return;
        for (const char* aggregate : {"count", "sum", "min", "max", "avg"})
            if (isWord(t, aggregate) && k + 1 < int(sig.size()) && isPunct(tokens[sig[k + 1]], '('))
                return;
        if (isPunct(t, '('))
            return; // a subquery or an expression the order cannot be judged by
        if (from < 0 && isWord(t, "from"))
            from = k;
    }
    if (from < 0 || from + 1 >= int(sig.size()) || !isName(tokens[sig[from + 1]]))
        return;
    // One table: after its name only a where clause.
    if (from + 2 < int(sig.size()) && !isWord(tokens[sig[from + 2]], "where") && !isPunct(tokens[sig[from + 2]], ';'))
        return;
    const auto types = schema.columnTypes ? schema.columnTypes(tokens[sig[from + 1]].text) : QHash<QString, QString>{};
    if (types.isEmpty())
        return;
    std::vector<Token> order{{Tok::Space, u" "_s},
                             {Tok::Word, u"ORDER"_s},
                             {Tok::Space, u" "_s},
                             {Tok::Word, u"BY"_s},
                             {Tok::Space, u" "_s}};
    if (types.contains(u"编号"_s))
        order.push_back({Tok::Ident, u"编号"_s});
    else
        order.push_back({Tok::Word, u"ctid"_s});
    auto insertAt = tokens.end();
    if (isPunct(tokens[sig.back()], ';'))
        insertAt = tokens.begin() + sig.back();
    tokens.insert(insertAt, order.begin(), order.end());
}

// The server folds an unquoted name to lower case, but creates a copied table under its exact name
// (see the copy below): a plate of ASCII letters (B6688) named bare after from, into, update, join
// or table would name another table. Such a name is quoted like any other.
void serverTableNames(std::vector<Token>& tokens) {
    const auto sig = significant(tokens);
    for (size_t k = 1; k < sig.size(); ++k) {
        Token& t = tokens[sig[k]];
        if (t.type != Tok::Word || isWord(t, "select"))
            continue;
        const Token& before = tokens[sig[k - 1]];
        for (const char* word : {"from", "into", "update", "join", "table"})
            if (isWord(before, word)) {
                t.type = Tok::Ident;
                break;
            }
    }
}

const QString kMoreThanOneStatement = u"一次只能执行一条语句"_s;

} // namespace

QString ServerName(const QString& bareName) {
    return isAsciiKeywordish(bareName) ? bareName : quoteIdent(bareName, Dialect::PostgreSQL);
}

QString ServerQuotedName(const QString& name) {
    return quoteIdent(name, Dialect::PostgreSQL);
}

Translation TranslateStatement(const QString& statement, const SchemaLookup& schema, Dialect dialect) {
    Translation result;
    std::vector<Token> tokens;
    if (!tokenize(statement, tokens, result.error))
        return result;
    auto sig = significant(tokens);
    if (sig.empty()) {
        result.error = u"empty statement"_s;
        return result;
    }
    Renderer out{dialect};
    const bool server = dialect == Dialect::PostgreSQL;
    if (server) {
        // The file engine checks what SQLite would split; the server is given one statement, a
        // blank or one ";" after it and nothing else.
        for (size_t k = 0; k + 1 < sig.size(); ++k)
            if (isPunct(tokens[sig[k]], ';')) {
                result.error = kMoreThanOneStatement;
                return result;
            }
    }
    const Token first = tokens[sig[0]];
    auto at = [&](size_t k) -> const Token& {
        static const Token none{Tok::Space, {}};
        return k < sig.size() ? tokens[sig[k]] : none;
    };

    if (isWord(first, "delete") && isPunct(at(1), '*') && isWord(at(2), "from")) {
        tokens.erase(tokens.begin() + sig[1]);
        sig = significant(tokens);
    } else if (isWord(first, "select") && isPunct(at(1), '*') && isWord(at(2), "into") && isName(at(3)) &&
               isWord(at(4), "from") && isName(at(5))) {
        // select * into X from Y [where ...]: X gets Y's exact definition, then Y's rows.
        const QString target = at(3).text;
        const QString source = at(5).text;
        if (server) {
            if (!schema.columnTypes || schema.columnTypes(source).isEmpty()) {
                result.error = u"no such table: %1"_s.arg(source);
                return result;
            }
            // LIKE ... INCLUDING ALL copies the key, its own identity sequence, defaults and indexes.
            result.statements << u"CREATE TABLE %1 (LIKE %2 INCLUDING ALL)"_s.arg(quoteIdent(target, dialect),
                                                                                  quoteIdent(source, dialect));
        } else {
            const QString create = schema.createSql ? schema.createSql(source) : QString();
            if (create.isEmpty()) {
                result.error = u"no such table: %1"_s.arg(source);
                return result;
            }
            const int open = create.indexOf(QLatin1Char('('));
            result.statements << u"CREATE TABLE %1 %2"_s.arg(quoteIdent(target), create.mid(open));
        }
        QString rest = out.render(tokens, sig[5] + 1, int(tokens.size()), result.error);
        result.statements << u"INSERT INTO %1 SELECT * FROM %2%3"_s.arg(quoteIdent(target, dialect),
                                                                        quoteIdent(source, dialect), rest);
        result.changesSchema = true;
        result.parameters = out.nextParameter - 1;
        return result;
    } else if (isWord(first, "alter") && isWord(at(1), "table") && isName(at(2)) && isWord(at(3), "add") &&
               isWord(at(4), "constraint") && isName(at(5)) && isWord(at(6), "primary") && isWord(at(7), "key") &&
               isPunct(at(8), '(') && isName(at(9)) && isPunct(at(10), ')')) {
        // SQLite cannot add a key to an existing table. A copied table already carries the
        // template's key; otherwise a unique index (a key on the server) gives the same guarantee.
        const QString table = at(2).text;
        const QString column = at(9).text;
        const auto types = schema.columnTypes ? schema.columnTypes(table) : QHash<QString, QString>{};
        if (types.isEmpty()) {
            result.error = u"no such table: %1"_s.arg(table);
            return result;
        }
        if (!types.contains(column.toLower())) {
            result.error = u"no such column: %1"_s.arg(column);
            return result;
        }
        if (!types.value(column.toLower()).contains(QLatin1String("PRIMARY KEY"), Qt::CaseInsensitive)) {
            // Constraint and index names are per schema on the server: the table's name goes first.
            const QString name = quoteIdent(table + QLatin1String("_") + at(5).text, dialect);
            if (server)
                result.statements << u"ALTER TABLE %1 ADD CONSTRAINT %2 PRIMARY KEY (%3)"_s.arg(
                    quoteIdent(table, dialect), name, quoteIdent(column, dialect));
            else
                result.statements << u"CREATE UNIQUE INDEX %1 ON %2 (%3)"_s.arg(name, quoteIdent(table),
                                                                                quoteIdent(column));
        }
        result.changesSchema = true;
        return result;
    } else if (isWord(first, "insert")) {
        if (!convertInsertDates(tokens, schema, result.error))
            return result;
    } else if (isWord(first, "update")) {
        if (!convertUpdateDates(tokens, schema, result.error))
            return result;
    }
    if (server) {
        serverTableNames(tokens);
        serverTableOrder(tokens, schema);
    }
    moveTopToLimit(tokens);
    if (!replaceIIf(tokens, result.error))
        return result;
    if (server) {
        serverLike(tokens);
        serverColumnTypes(tokens);
    }

    if (isWord(first, "drop") || isWord(first, "create") || isWord(first, "alter"))
        result.changesSchema = true;
    const QString sql = out.render(tokens, 0, int(tokens.size()), result.error);
    if (result.ok())
        result.statements << sql;
    result.parameters = out.nextParameter - 1;
    return result;
}

} // namespace store
