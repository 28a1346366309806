#pragma once

// The rules a plate obeys before it names a vehicle table. A table name is the plate inserted
// bare, so a plate that could end or extend a statement is never used as one.

#include <QString>

namespace domain {

// Empty when the plate may name a vehicle table; otherwise the message that refuses it. Only
// letters (Chinese characters included) and digits are allowed: a blank, quote, bracket,
// semicolon or other punctuation would change the statements the plate is put into.
QString PlateRefusal(const QString& plate);
inline bool IsSafePlate(const QString& plate) {
    return PlateRefusal(plate).isEmpty();
}
// The same test under the name the record statements use.
inline bool PlateUsableAsTableName(const QString& plate) {
    return IsSafePlate(plate);
}
// The fixed tables (总表, 权限, 险种名称, 报险表, yangbiao) and SQLite's own sqlite_* tables,
// letter case aside.
bool IsFixedTableName(const QString& name);
// A word the database reads as part of the language where it stands bare (TRUE, NULL, ORDER, ...).
bool IsSqlKeyword(const QString& word);

// Length of text as stored in the GBK code page: one byte for each ASCII character, two for any
// other character.
int GbkLength(const QString& text);
// A plate is plausible when its GBK length is 8 or 9 (one Chinese character and six or seven
// letters and digits).
bool PlateLengthPlausible(const QString& plate);

} // namespace domain
