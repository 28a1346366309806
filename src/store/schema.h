#pragma once

#include <QList>
#include <QString>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace store {

// The file's password and name, fixed for every installation.
inline const QString kDatabasePassword = u"4062719"_s;
inline const QString kDatabaseFileName = u"clxx.mdb"_s;

// The initial operator created with a new database (holds every permission).
inline const QString kInitialOperator = u"管理员"_s;
inline const QString kInitialPassword = u"529"_s;

enum class ColumnType { Number, Text, Date, YesNo, Bytes };

// Column groups of a vehicle's history table; a row carries one group.
enum class Group { Key, Basic, Inspection, Maintenance, Insurance, ManagementFee, OperatingPermit };

struct ColumnDef {
    QString name;
    ColumnType type = ColumnType::Text;
    Group group = Group::Key;
    ColumnDef() = default;
    ColumnDef(QString columnName, ColumnType columnType, Group columnGroup)
        : name(std::move(columnName)), type(columnType), group(columnGroup) {}
    // The column table is written with UTF-8 char literals.
    ColumnDef(const char* columnName, ColumnType columnType, Group columnGroup)
        : ColumnDef(QString::fromUtf8(columnName), columnType, columnGroup) {}
};

// The tables every database of the program holds from its creation: 总表, 权限, 险种名称, 报险表
// and the template yangbiao. A file without them is not a database of the program. (公司信息, made
// with every new file since, is not among them: older files gain it when the details are saved.)
const QStringList& FixedTableNames();

// The 96 columns of the template table yangbiao (and so of every vehicle table), in order. This
// is the stored layout; the libraries above take the same names from the domain's column tables
// (the store sits below them and includes none of them), and the name test checks that the two
// agree name for name.
const QList<ColumnDef>& VehicleColumns();

// The same columns in the order a new yangbiao stores them: the five image columns last. A row's
// images spill onto overflow pages; with them at the end, a read of any other column stops
// before them instead of walking every image. Statements name their columns, so the stored
// order is free.
const QList<ColumnDef>& StorageColumns();

// True when a table's columns, in stored order, put an image column before another column: the
// layout of files made before the images were moved last.
bool ImagesBeforeOtherColumns(const QStringList& storedColumns);

// Folder holding clxx.mdb: $VELMORA_DATA_DIR when set, else the program's own folder.
QString DataDirectory();
// The database file: DatabaseTarget()'s file (target.h). When that refuses what $VELMORA_DATABASE
// names, the name itself, and for a server its connection text (no such file: the database is
// missing, never another file in its place).
QString DatabasePath();

// Creates a new encrypted database with the fixed tables, the initial operator and a few
// insurance kinds. Refuses to touch an existing file. On failure nothing is left behind.
// ImagesAmongColumns makes the layout of older files (yangbiao in VehicleColumns() order); the
// program itself always creates ImagesLast, the other is kept for upgrade tests and benchmarks.
enum class TableLayout { ImagesLast, ImagesAmongColumns };
bool CreateDatabase(const QString& path, QString* error = nullptr, TableLayout layout = TableLayout::ImagesLast);
// The same tables, operator and kinds written into path, an empty or missing file (the temporary
// of an output file), as they are: no check of the name, no temporary of its own.
bool WriteNewDatabase(const QString& path, QString* error = nullptr, TableLayout layout = TableLayout::ImagesLast);

// The statements that create the fixed tables, indexes, initial operator and insurance kinds of
// a new database, in the engine's own SQL (see translate.h for the dialects).
enum class Dialect;
QStringList SchemaStatements(TableLayout layout, Dialect dialect);

// The same tables, operator and kinds on an empty server database (target as in target.h), in one
// transaction. Refuses a database that already holds any table; on failure nothing is created.
bool CreateServerDatabase(const QString& target, QString* error = nullptr);

} // namespace store
