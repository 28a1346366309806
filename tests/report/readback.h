#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace report_test {

// Runs a tool and returns its standard output as UTF-8 text; fails the test when it cannot run.
inline QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Text without any blank: pdftotext drops or adds blanks between Chinese characters.
inline QString squeezed(QString text) {
    text.remove(QRegularExpression(u"\\s+"_s));
    return text;
}

// The text of each page of a PDF, by pdftotext (poppler-utils).
inline QStringList pdfPages(const QString& path) {
    QStringList pages = run(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s}).split(u'\f');
    while (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The cells of the first sheet of an .xlsx as openpyxl reads them: one line per row, cells
// separated by a tab, numbers marked with a leading '#'; then a line "MERGED" and the ranges.
inline QStringList xlsxRows(const QString& path) {
    const QString script = uR"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
for row in ws.iter_rows():
    out = []
    for c in row:
        v = c.value
        if v is None: out.append('')
        elif isinstance(v, bool): out.append('?' + str(v))
        elif isinstance(v, (int, float)): out.append('#' + ('%g' % v))
        else: out.append(str(v))
    print('\t'.join(out))
print('MERGED')
for r in sorted(str(m) for m in ws.merged_cells.ranges): print(r)
print('WIDTHS')
for k in sorted(ws.column_dimensions): print(k, round(ws.column_dimensions[k].width or 0))
)"_s;
    return run(u"/usr/bin/python3"_s, {u"-c"_s, script, path}).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace report_test
