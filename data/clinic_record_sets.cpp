#include "data/clinic_record_sets.h"

namespace {

template <class Field, class... Args>
Field* Declare(TDataSet& dataSet, const char* name, const char* label, Args... args) {
    Field* field = dataSet.AddField<Field>(name, args...);
    field->SetDisplayLabel(label);
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
    t.SetDatabaseName(kClinicDatabase);
    t.SetTableName("bingren.DB");
    TablebingrenId = Declare<TAutoIncField>(t, "Id", "病历号");
    TablebingrenXm = Declare<TStringField>(t, "Xm", "姓名", 8);
    TablebingrenXb = Declare<TStringField>(t, "Xb", "性别", 2);
    TablebingrenNl = Declare<TSmallintField>(t, "Nl", "年龄");
    TablebingrenGzdw = Declare<TStringField>(t, "Gzdw", "工作单位", 40);
    TablebingrenLxdh = Declare<TStringField>(t, "Lxdh", "联系电话", 26);
    TablebingrenTxdz = Declare<TStringField>(t, "Txdz", "通讯地址", 40);
    TablebingrenDzyx = Declare<TStringField>(t, "Dzyx", "电子邮箱", 40);
    TablebingrenCzrq = Declare<TDateField>(t, "Czrq", "初诊日期");
    TablebingrenFzyysj = Declare<TDateField>(t, "Fzyysj", "复诊预约时间");
    TablebingrenSfylxfz = Declare<TStringField>(t, "Sfylxfz", "是否已提示复诊", 2);
    TablebingrenDfhf = Declare<TStringField>(t, "Dfhf", "对方回复", 10);
    TablebingrenJtcy = Declare<TStringField>(t, "Jtcy", "家庭成员", 30);
    DataSourceBingren.SetDataSet(&t);
}

void ClinicRecordSets::DefineVisits() {
    TTable& t = TableBingli;
    t.SetDatabaseName(kClinicDatabase);
    t.SetTableName("bingli.DB");
    t.SetIndexName("blbrid");
    t.SetMasterSource(&DataSourceBingren);
    t.SetMasterFields("Id");
    TableBingliId = Declare<TAutoIncField>(t, "Id", "就诊连续号");
    TableBingliBrid = Declare<TIntegerField>(t, "Brid", "病历号");
    TableBingliLzrq = Declare<TDateField>(t, "Lzrq", "来诊日期");
    TableBingliZhsu = Declare<TStringField>(t, "Zhsu", "主诉", 100);
    TableBingliXbs = Declare<TMemoField>(t, "Xbs", "", 200);
    TableBingliJcsj = Declare<TMemoField>(t, "Jcsj", "", 200);
    TableBingliZhengduan = Declare<TMemoField>(t, "Zhengduan", "", 200);
    TableBingliZhiliao = Declare<TMemoField>(t, "Zhiliao", "", 200);
    TableBingliFzyysj = Declare<TDateField>(t, "Fzyysj", "复诊预约时间");
    TableBingliJzys = Declare<TStringField>(t, "Jzys", "经治医生", 10);
    TableBingliJtcy = Declare<TStringField>(t, "Jtcy", "就诊家庭成员", 30);
    DataSourceBingli.SetDataSet(&t);
}

void ClinicRecordSets::DefineNameSearch() {
    TQuery& q = Queryczxm;
    q.SetDatabaseName(kClinicDatabase);
    q.SetSQL({"SELECT Id, Xm, Xb, Nl, Gzdw, Lxdh", "FROM bingren.DB", "WHERE  Xm LIKE Xm ",
              "ORDER BY Xm"});
    QueryczxmId = Declare<TIntegerField>(q, "Id", "病历号");
    QueryczxmXm = Declare<TStringField>(q, "Xm", "姓名", 8);
    QueryczxmXb = Declare<TStringField>(q, "Xb", "性别", 2);
    QueryczxmNl = Declare<TSmallintField>(q, "Nl", "年龄");
    QueryczxmGzdw = Declare<TStringField>(q, "Gzdw", "工作单位", 40);
    QueryczxmLxdh = Declare<TStringField>(q, "Lxdh", "联系电话", 26);
    DataSourceczxm.SetDataSet(&q);
}

void ClinicRecordSets::Open() {
    Tablebingren.Open();
    Queryczxm.Open();
    TableBingli.Open();
}
