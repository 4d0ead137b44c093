#include "data/clinic_record_sets.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/clinic_tables.h"

namespace {

using clinic_tables::ColumnKind;

// The field types that hold a column of each kind; a query reads the record number as a plain
// integer.
bool Holds(TFieldType type, ColumnKind kind) {
    switch (kind) {
        case ColumnKind::AutoInc:
            return type == TFieldType::ftAutoInc || type == TFieldType::ftInteger;
        case ColumnKind::String:
            return type == TFieldType::ftString;
        case ColumnKind::Smallint:
            return type == TFieldType::ftSmallint;
        case ColumnKind::Integer:
            return type == TFieldType::ftInteger;
        case ColumnKind::Date:
            return type == TFieldType::ftDate;
        case ColumnKind::Memo:
            return type == TFieldType::ftMemo;
    }
    return false;
}

// Declares the field of the table's column `name` with the column's size and label.
template <class Field>
Field* Declare(TDataSet& dataSet, const clinic_tables::Table& table, std::string_view name) {
    const clinic_tables::Column& column = table.ColumnNamed(name);
    Field* field;
    if constexpr (std::is_constructible_v<Field, TDataSet*, std::string, int>) {
        field = dataSet.AddField<Field>(std::string(name), column.size);
    } else {
        field = dataSet.AddField<Field>(std::string(name));
    }
    if (!Holds(field->DataType(), column.kind)) {
        throw std::logic_error(std::string(name) + " is declared with a field of another kind");
    }
    field->SetDisplayLabel(std::string(column.label));
    return field;
}

}  // namespace

ClinicRecordSets::ClinicRecordSets() {
    DefinePatients();
    DefineVisits();
    DefineNameSearch();
}

void ClinicRecordSets::DefinePatients() {
    TTable& t = Tablebingren;
    const clinic_tables::Table& c = clinic_tables::Patients();
    t.SetDatabaseName(kClinicDatabase);
    t.SetTableName("bingren.DB");
    TablebingrenId = Declare<TAutoIncField>(t, c, "Id");
    TablebingrenXm = Declare<TStringField>(t, c, "Xm");
    TablebingrenXb = Declare<TStringField>(t, c, "Xb");
    TablebingrenNl = Declare<TSmallintField>(t, c, "Nl");
    TablebingrenGzdw = Declare<TStringField>(t, c, "Gzdw");
    TablebingrenLxdh = Declare<TStringField>(t, c, "Lxdh");
    TablebingrenTxdz = Declare<TStringField>(t, c, "Txdz");
    TablebingrenDzyx = Declare<TStringField>(t, c, "Dzyx");
    TablebingrenCzrq = Declare<TDateField>(t, c, "Czrq");
    TablebingrenFzyysj = Declare<TDateField>(t, c, "Fzyysj");
    TablebingrenSfylxfz = Declare<TStringField>(t, c, "Sfylxfz");
    TablebingrenDfhf = Declare<TStringField>(t, c, "Dfhf");
    TablebingrenJtcy = Declare<TStringField>(t, c, "Jtcy");
    DataSourceBingren.SetDataSet(&t);
}

void ClinicRecordSets::DefineVisits() {
    TTable& t = TableBingli;
    const clinic_tables::Table& c = clinic_tables::Visits();
    t.SetDatabaseName(kClinicDatabase);
    t.SetTableName("bingli.DB");
    t.SetIndexName("blbrid");
    t.SetMasterSource(&DataSourceBingren);
    t.SetMasterFields("Id");
    TableBingliId = Declare<TAutoIncField>(t, c, "Id");
    TableBingliBrid = Declare<TIntegerField>(t, c, "Brid");
    TableBingliLzrq = Declare<TDateField>(t, c, "Lzrq");
    TableBingliZhsu = Declare<TStringField>(t, c, "Zhsu");
    TableBingliXbs = Declare<TMemoField>(t, c, "Xbs");
    TableBingliJcsj = Declare<TMemoField>(t, c, "Jcsj");
    TableBingliZhengduan = Declare<TMemoField>(t, c, "Zhengduan");
    TableBingliZhiliao = Declare<TMemoField>(t, c, "Zhiliao");
    TableBingliFzyysj = Declare<TDateField>(t, c, "Fzyysj");
    TableBingliJzys = Declare<TStringField>(t, c, "Jzys");
    TableBingliJtcy = Declare<TStringField>(t, c, "Jtcy");
    DataSourceBingli.SetDataSet(&t);
}

void ClinicRecordSets::DefineNameSearch() {
    TQuery& q = Queryczxm;
    const clinic_tables::Table& c = clinic_tables::Patients();
    q.SetDatabaseName(kClinicDatabase);
    q.SetSQL({"SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh", "FROM bingren.DB", "WHERE  Xm LIKE Xm ",
              "ORDER BY Xm"});
    QueryczxmId = Declare<TIntegerField>(q, c, "Id");
    QueryczxmXm = Declare<TStringField>(q, c, "Xm");
    QueryczxmXb = Declare<TStringField>(q, c, "Xb");
    QueryczxmNl = Declare<TSmallintField>(q, c, "Nl");
    QueryczxmGzdw = Declare<TStringField>(q, c, "Gzdw");
    QueryczxmLxdh = Declare<TStringField>(q, c, "Lxdh");
    DataSourceczxm.SetDataSet(&q);
}

void ClinicRecordSets::Open() {
    Tablebingren.Open();
    Queryczxm.Open();
    TableBingli.Open();
}
