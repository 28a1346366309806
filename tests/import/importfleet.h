#pragma once

// The fleet the import tests bring in, in every file format: written here as .xlsx and CSV, kept
// as tests/import/fixtures/fleet.xls (tests/import/fixtures/make_fleet_xls.py writes the same rows).

#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <gtest/gtest.h>

namespace import_test {

using namespace Qt::StringLiterals;

struct FleetRow {
    QString plate, owner, trailer, archive;
    QDate inspection, bought; // bought invalid: the cell is empty
    QString status, phone;
};

inline const QStringList kFleetHeader = {u"车号"_s,         u"车主"_s,     u"挂车号"_s,   u"档案编号"_s,
                                         u"下次审车日期"_s, u"入户时间"_s, u"车辆状态"_s, u"联系电话"_s};

// Row 5 repeats the plate of row 2 and is refused.
inline const QList<FleetRow> kFleetRows = {
    {u"鲁A12345"_s, u"张三"_s, u"鲁B1234挂"_s, u"001"_s, QDate(2026, 3, 5), QDate(2024, 1, 2), u"正常"_s,
     u"13800138000"_s},
    {u"鲁A12346"_s, u"李四\n（二号）"_s, QString(), u"002"_s, QDate(2026, 4, 30), QDate(2023, 12, 31), u"转出"_s,
     u"0531-1234567"_s},
    {u"鲁A12347"_s, u"王\"五\""_s, u"鲁B7777挂"_s, u"003"_s, QDate(2027, 1, 1), QDate(), u"注销"_s, QString()},
    {u"鲁A12345"_s, u"重复"_s, QString(), u"004"_s, QDate(2026, 5, 1), QDate(), u"正常"_s, QString()},
};

// The Debian interpreter, which has python3-openpyxl (a python3 earlier on PATH may not).
inline QString Python() {
    return QFile::exists(u"/usr/bin/python3"_s) ? u"/usr/bin/python3"_s : u"python3"_s;
}

inline void RunPython(const QString& script) {
    QProcess p;
    p.start(Python(), {u"-c"_s, script});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

inline QString PyText(const QString& s) {
    QString out = s;
    out.replace(u"\\"_s, u"\\\\"_s).replace(u"\""_s, u"\\\""_s).replace(u"\n"_s, u"\\n"_s);
    return u"\""_s + out + u"\""_s;
}

inline QString PyDate(const QDate& d) {
    return d.isValid() ? u"datetime.date(%1,%2,%3)"_s.arg(d.year()).arg(d.month()).arg(d.day()) : u"None"_s;
}

// The fleet as .xlsx through openpyxl: shared strings, dates as serial numbers with a date style.
inline void WriteFleetXlsx(const QString& path) {
    QString rows;
    for (const FleetRow& r : kFleetRows)
        rows += u"[%1,%2,%3,%4,%5,%6,%7,%8],"_s.arg(PyText(r.plate), PyText(r.owner), PyText(r.trailer),
                                                    PyText(r.archive), PyDate(r.inspection), PyDate(r.bought),
                                                    PyText(r.status), PyText(r.phone));
    QString header;
    for (const QString& h : kFleetHeader)
        header += PyText(h) + u","_s;
    RunPython(u"import datetime, openpyxl\n"
              u"wb = openpyxl.Workbook(); ws = wb.active; ws.title = '车辆'\n"
              u"ws.append([%1])\n"
              u"for row in [%2]:\n"
              u"    ws.append([v if v != '' else None for v in row])\n"
              u"wb.create_sheet('备注')['A1'] = '说明'\n"
              u"wb.save(%3)\n"_s.arg(header, rows, PyText(path)));
}

inline QString CsvField(const QString& v) {
    if (!v.contains(QLatin1Char(',')) && !v.contains(QLatin1Char('"')) && !v.contains(QLatin1Char('\n')))
        return v;
    QString q = v;
    q.replace(u"\""_s, u"\"\""_s);
    return u"\""_s + q + u"\""_s;
}

inline QString FleetCsvText() {
    QString text = kFleetHeader.join(QLatin1Char(',')) + u"\r\n"_s;
    for (const FleetRow& r : kFleetRows) {
        const QStringList cells = {r.plate,
                                   r.owner,
                                   r.trailer,
                                   r.archive,
                                   r.inspection.toString(u"yyyy/M/d"_s),
                                   r.bought.isValid() ? r.bought.toString(u"yyyy年M月d日"_s) : QString(),
                                   r.status,
                                   r.phone};
        QStringList fields;
        for (const QString& c : cells)
            fields << CsvField(c);
        text += fields.join(QLatin1Char(',')) + u"\r\n"_s;
    }
    return text;
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

inline QByteArray Encode(const QString& text, const char* encoding) {
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

inline QByteArray FileChecksum(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

inline QString FixturePath(const QString& name) {
    return QDir(QString::fromUtf8(VELMORA_IMPORT_FIXTURES)).filePath(name);
}

} // namespace import_test
