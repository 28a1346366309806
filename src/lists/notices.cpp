#include "lists/notices.h"

#include "archive/records.h"
#include "domain/dates.h"
#include "domain/obligations.h"
#include "lists/listbuild.h"
#include "lists/tablescan.h"
#include "store/database.h"
#include "store/recordset.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace lists {

namespace {

const QString kArchiveNumber = u"档案编号"_s;
const QStringList kOwnerColumns = {u"车主姓名"_s, u"车主电话"_s, u"车主身份证号"_s};

const domain::ObligationColumns& obligationOf(int k) {
    return domain::Obligation(domain::ObligationKind(k));
}

// The columns of a kind's current row the notices read: due date, trailer date (when the kind has
// one) and fee due.
QStringList kindColumns(int k) {
    const domain::ObligationColumns& o = obligationOf(k);
    QStringList columns = {o.dueDate, o.dueFee};
    if (!o.trailerDue.isEmpty())
        columns << o.trailerDue;
    return columns;
}

const QStringList& wholeColumns() {
    static const QStringList columns = [] {
        QStringList names = QStringList{kArchiveNumber} + kOwnerColumns;
        for (int k = 0; k < alerts::kKindCount; ++k)
            names << kindColumns(k);
        return names;
    }();
    return columns;
}

QSet<QString> listedPlates(store::DatabaseConnection& db, bool* ok) {
    QSet<QString> plates;
    const store::RecordSetGuard rs(db, u"select 车牌号 from [总表] "_s);
    *ok = rs.ok();
    if (!rs.ok())
        return plates;
    const int h = rs.handle();
    for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h))
        plates.insert(db.ReadField(h, u"车牌号"_s).text());
    return plates;
}

void addItem(VehicleDue& v, int kind, bool trailer, const QDate& due, const QString& fee, const QDate& month) {
    if (!domain::IsSetDate(due))
        return;
    DueItem item;
    item.kind = alerts::Kind(kind);
    item.trailer = trailer;
    item.due = due;
    item.state = alerts::DueStateOf(due, month);
    item.fee = fee.trimmed();
    v.items << item;
}

QString monthText(const QDate& d) {
    return d.toString(u"yyyy-MM"_s);
}

report::BlockLine line(const QString& text, double size = 11, bool bold = false, bool centred = false) {
    return report::BlockLine{text, size, bold, centred};
}

QString ownerKey(const VehicleDue& v) {
    const QString name = v.owner.trimmed();
    if (name.isEmpty())
        return u"\x1f"_s + v.plate;
    return name + u'\x1f' + v.idNumber.trimmed() + u'\x1f' + v.phone.trimmed();
}

} // namespace

QString DueItemName(const DueItem& item) {
    static const char16_t* const names[alerts::kKindCount] = {u"审车", u"二级维护", u"保险", u"管理费用", u"营运证"};
    return (item.trailer ? u"挂车"_s : QString()) + QString::fromUtf16(names[int(item.kind)]);
}

DueRead ReadDueDates(store::DatabaseConnection& db, const QStringList& plates, const QDate& referenceMonth) {
    DueRead out;
    if (plates.isEmpty())
        return out;
    bool listedOk = false;
    const QSet<QString> listed = listedPlates(db, &listedOk);
    if (!listedOk) {
        out.messages << u"查询失败！"_s;
        return out;
    }
    const QDate month = domain::MonthStart(referenceMonth);
    // Each usable table read once, all through one call (the server reads many to a statement).
    QStringList tables;
    for (const QString& plate : plates)
        if (listed.contains(plate) && archive::PlateUsableAsTableName(plate))
            tables << plate;
    std::vector<std::optional<VehicleDue>> read(size_t(tables.size()));
    db.ReadTables(tables, wholeColumns(), [&](qsizetype i, int handle) {
        if (!handle)
            return;
        TableScan scan(db, handle);
        Group basic;
        Group kinds[alerts::kKindCount];
        QStringList columns[alerts::kKindCount];
        for (int k = 0; k < alerts::kKindCount; ++k)
            columns[k] = kindColumns(k);
        scan.forEach([&] {
            scan.take(basic, kArchiveNumber, kOwnerColumns);
            for (int k = 0; k < alerts::kKindCount; ++k)
                scan.take(kinds[k], columns[k].first(), columns[k]);
        });
        VehicleDue v;
        v.plate = tables[i];
        if (basic.found) {
            v.owner = basic.values.at(0).text();
            v.phone = basic.values.at(1).text();
            v.idNumber = basic.values.at(2).text();
        }
        for (int k = 0; k < alerts::kKindCount; ++k) {
            if (!kinds[k].found)
                continue;
            const QString fee = kinds[k].values.at(1).text();
            addItem(v, k, false, kinds[k].values.at(0).date(), fee, month);
            if (kinds[k].values.size() > 2)
                addItem(v, k, true, kinds[k].values.at(2).date(), fee, month);
        }
        read[size_t(i)] = std::move(v);
    });
    size_t next = 0;
    for (const QString& plate : plates) {
        if (!listed.contains(plate) || !archive::PlateUsableAsTableName(plate)) {
            out.messages << u"查询失败车辆！%1"_s.arg(plate);
            continue;
        }
        const std::optional<VehicleDue>& v = read[next++];
        if (v)
            out.vehicles << *v;
        else
            out.messages << u"查询失败车辆！%1"_s.arg(plate);
    }
    return out;
}

std::optional<QStringList> VehiclesInService(store::DatabaseConnection& db, const alerts::AlertSetList& sets) {
    const store::RecordSetGuard rs(db, alerts::kMasterSelect);
    if (!rs.ok())
        return std::nullopt;
    QStringList plates;
    const int h = rs.handle();
    for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h)) {
        const QString plate = db.ReadField(h, u"车牌号"_s).text();
        if (!alerts::IsTransferredOrCancelled(sets, plate))
            plates << plate;
    }
    return plates;
}

QList<OwnerNotice> GroupByOwner(const QList<VehicleDue>& vehicles) {
    QList<OwnerNotice> notices;
    QHash<QString, qsizetype> index;
    for (const VehicleDue& v : vehicles) {
        VehicleDue due = v;
        due.items.clear();
        for (const DueItem& item : v.items)
            if (item.state != alerts::DueState::None)
                due.items << item;
        if (due.items.isEmpty())
            continue;
        // A kind's fee covers the tractor and the trailer: told once, with the main date.
        for (DueItem& item : due.items)
            if (item.trailer && std::any_of(due.items.cbegin(), due.items.cend(), [&item](const DueItem& other) {
                    return !other.trailer && other.kind == item.kind;
                }))
                item.fee.clear();
        const QString key = ownerKey(v);
        auto at = index.constFind(key);
        if (at == index.constEnd()) {
            at = index.insert(key, notices.size());
            notices << OwnerNotice{v.owner.trimmed(), v.phone.trimmed(), {}};
        }
        notices[*at].vehicles << due;
    }
    return notices;
}

report::ReportTable NoticePages(const QList<OwnerNotice>& notices, const NoticeOptions& options) {
    report::ReportTable t;
    t.title = kNoticeTitle;
    t.printTitle = {kNoticeTitle, u"黑体"_s, 20, true};
    const store::CompanyDetails& company = options.company;
    if (!company.公司名称.trimmed().isEmpty())
        t.pageHeader << line(company.公司名称.trimmed(), 16, true, true);
    QStringList contact;
    if (!company.地址.trimmed().isEmpty())
        contact << u"地址："_s + company.地址.trimmed();
    if (!company.电话.trimmed().isEmpty())
        contact << u"电话："_s + company.电话.trimmed();
    if (!contact.isEmpty())
        t.pageHeader << line(contact.join(u"    "_s), 11, false, true);

    QStringList captions = {u"序号"_s, u"车号"_s, u"项目"_s, u"到期月份"_s, u"状态"_s};
    QList<int> widths = {50, 130, 110, 100, 150};
    if (options.feesVisible) {
        captions << u"应缴费用"_s;
        widths << 100;
    }
    t.setColumnCount(int(captions.size()));
    t.appendRow();
    for (int c = 0; c < captions.size(); ++c) {
        t.setText(0, c, captions.at(c));
        t.setColumnWidth(c, widths.at(c));
    }
    const QDate month = domain::MonthStart(options.today);
    for (const OwnerNotice& n : notices) {
        report::Section section;
        section.firstRow = t.rowCount();
        const QString owner = n.owner.isEmpty() ? u"（未填写）"_s : n.owner;
        section.heading << line(u"车主：%1    联系电话：%2"_s.arg(owner, n.phone.isEmpty() ? u"（未填写）"_s : n.phone),
                                12, true)
                        << line(u"您好！您名下的车辆有以下项目已经到期或即将到期，请及时到公司办理。"_s)
                        << line(u"通知日期：%1"_s.arg(options.today.toString(Qt::ISODate)));
        section.closing << line(QString())
                        << line(u"车主签字：______________________        日期：______年____月____日"_s, 12)
                        << line(u"（请车主签字后将本通知单交回公司，或电话告知公司已收到本通知。）"_s, 9);
        t.startSection(section);
        int number = 0;
        for (const VehicleDue& v : n.vehicles) {
            ++number;
            const int first = t.rowCount();
            for (const DueItem& item : v.items) {
                const int r = t.appendRow();
                t.setRowKey(r, v.plate);
                t.setText(r, 0, QString::number(number));
                t.setText(r, 1, v.plate);
                t.setText(r, 2, DueItemName(item));
                t.setText(r, 3, monthText(item.due));
                t.setText(r, 4, StatusText(item.kind, item.due, month));
                if (options.feesVisible)
                    t.setText(r, 5, item.fee);
            }
            if (v.items.size() > 1) {
                t.merge(first, 0, int(v.items.size()), 1);
                t.merge(first, 1, int(v.items.size()), 1);
            }
        }
    }
    return t;
}

report::ReportTable NoticeRows(const QList<OwnerNotice>& notices, const NoticeOptions& options) {
    report::ReportTable t;
    t.title = kNoticeTitle;
    t.printTitle = {kNoticeTitle, u"黑体"_s, 20, true};
    QStringList captions = {u"车主姓名"_s, u"车主电话"_s, u"车号"_s, u"项目"_s, u"到期月份"_s, u"状态"_s};
    if (options.feesVisible)
        captions << u"应缴费用"_s;
    t.setColumnCount(int(captions.size()));
    t.appendRow();
    for (int c = 0; c < captions.size(); ++c)
        t.setText(0, c, captions.at(c));
    const QDate month = domain::MonthStart(options.today);
    for (const OwnerNotice& n : notices) {
        for (const VehicleDue& v : n.vehicles) {
            for (const DueItem& item : v.items) {
                const int r = t.appendRow();
                t.setRowKey(r, v.plate);
                const QStringList cells = {n.owner,
                                           n.phone,
                                           v.plate,
                                           DueItemName(item),
                                           monthText(item.due),
                                           StatusText(item.kind, item.due, month),
                                           item.fee};
                for (int c = 0; c < captions.size(); ++c)
                    t.setText(r, c, cells.at(c));
            }
        }
    }
    return t;
}

NoticeBuild BuildNotices(store::DatabaseConnection& db, const QStringList& plates, const QDate& today,
                         bool feesVisible) {
    NoticeBuild out;
    NoticeOptions options;
    options.feesVisible = feesVisible;
    options.today = today;
    QString error;
    if (!store::ReadCompanyDetails(db, &options.company, &error))
        out.messages << u"读取公司信息失败：%1"_s.arg(error);
    else
        out.companyMissing = options.company.公司名称.trimmed().isEmpty();
    const DueRead read = ReadDueDates(db, plates, today);
    out.messages << read.messages;
    out.notices = GroupByOwner(read.vehicles);
    out.pages = NoticePages(out.notices, options);
    out.rows = NoticeRows(out.notices, options);
    return out;
}

} // namespace lists
