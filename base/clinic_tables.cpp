#include "base/clinic_tables.h"

#include <stdexcept>

namespace clinic_tables {
namespace {

using enum ColumnKind;

constexpr Column kPatientColumns[] = {
    {"Id", AutoInc, 0, "病历号"},
    {"Xm", String, 8, "姓名"},
    {"Xb", String, 2, "性别"},
    {"Nl", Smallint, 0, "年龄"},
    {"Gzdw", String, 40, "工作单位"},
    {"Lxdh", String, 26, "联系电话"},
    {"Txdz", String, 40, "通讯地址"},
    {"Dzyx", String, 40, "电子邮箱"},
    {"Czrq", Date, 0, "初诊日期"},
    {"Fzyysj", Date, 0, "复诊预约时间"},
    {"Sfylxfz", String, 2, "是否已提示复诊"},
    {"Dfhf", String, 10, "对方回复"},
    {"Jtcy", String, 30, "家庭成员"},
};

// Names are listed in GBK order by the name search; the follow-up reminder filters on Fzyysj.
constexpr Index kPatientIndexes[] = {
    {"bingren_xm", "CREATE INDEX bingren_xm ON bingren(Xm COLLATE GBK)", false, "Xm", "GBK"},
    {"bingren_fzyysj", "CREATE INDEX bingren_fzyysj ON bingren(Fzyysj)", false, "Fzyysj", ""},
};

// The memos carry no label: their windows caption them.
constexpr Column kVisitColumns[] = {
    {"Id", AutoInc, 0, "就诊连续号"},
    {"Brid", Integer, 0, "病历号"},
    {"Lzrq", Date, 0, "来诊日期"},
    {"Zhsu", String, 100, "主诉"},
    {"Xbs", Memo, 200, ""},
    {"Jcsj", Memo, 200, ""},
    {"Zhengduan", Memo, 200, ""},
    {"Zhiliao", Memo, 200, ""},
    {"Fzyysj", Date, 0, "复诊预约时间"},
    {"Jzys", String, 10, "经治医生"},
    {"Jtcy", String, 30, "就诊家庭成员"},
};

// A patient's visits are read in the order they were recorded.
constexpr Index kVisitIndexes[] = {
    {"blbrid", "CREATE INDEX blbrid ON bingli(Brid, Id)", true, "Brid", ""},
};

constexpr Table kPatients{"bingren", kPatientColumns, kPatientIndexes, "Xm"};
constexpr Table kVisits{"bingli", kVisitColumns, kVisitIndexes, ""};
constexpr const Table* kTables[] = {&kPatients, &kVisits};

}  // namespace

const Column& Table::ColumnNamed(std::string_view columnName) const {
    for (const Column& column : columns) {
        if (column.name == columnName) return column;
    }
    std::string message(name);
    throw std::out_of_range(message.append(" has no column ").append(columnName));
}

const Table& Patients() {
    return kPatients;
}

const Table& Visits() {
    return kVisits;
}

std::span<const Table* const> All() {
    return kTables;
}

std::string DeclaredKind(const Column& column) {
    // Appended piece by piece: g++ 12 at -O3 warns falsely on chains of string sums.
    const auto sized = [&](std::string kind) {
        kind.append("(").append(std::to_string(column.size)).append(")");
        return kind;
    };
    switch (column.kind) {
        case AutoInc:
            return "INTEGER PRIMARY KEY AUTOINCREMENT";
        case String:
            return sized("VARCHAR");
        case Smallint:
            return "SMALLINT";
        case Integer:
            return "INTEGER";
        case Date:
            return "DATE";
        case Memo:
            return sized("TEXT");
    }
    throw std::logic_error("unknown column kind");
}

std::string CreateTableSql(const Table& table) {
    std::string sql = "CREATE TABLE ";
    sql.append(table.name).append(" (");
    for (const Column& column : table.columns) {
        if (&column != &table.columns.front()) sql.append(", ");
        sql.append(column.name).append(" ").append(DeclaredKind(column));
    }
    return sql.append(")");
}

std::string InsertSql(const Table& table) {
    std::string names;
    std::string values;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (i != 0) {
            names.append(", ");
            values.append(", ");
        }
        names.append(table.columns[i].name);
        values.append("?").append(std::to_string(i + 1));
    }
    std::string sql = "INSERT INTO ";
    return sql.append(table.name)
        .append(" (")
        .append(names)
        .append(") VALUES (")
        .append(values)
        .append(")");
}

}  // namespace clinic_tables
