// The clinic's record sets and data sources, built as the main window owns them: the patients
// (Tablebingren), their visits (TableBingli, a detail of the patients through index blbrid) and
// the name-search query (Queryczxm), each with its declared fields and data source.
//
// Members keep the names by which the rules and windows know them. Open() opens the three in
// the order of their definition: patients, query, visits.
#pragma once

#include "data/data_source.h"
#include "data/query.h"
#include "data/table.h"

// The database directory of every record set.
inline constexpr const char* kClinicDatabase = "d:\\qorvyna\\bingli";

class ClinicRecordSets {
  public:
    ClinicRecordSets();
    void Open();

    TTable Tablebingren{"Tablebingren"};
    TTable TableBingli{"TableBingli"};
    TQuery Queryczxm{"Queryczxm"};
    TDataSource DataSourceBingren;
    TDataSource DataSourceBingli;
    TDataSource DataSourceczxm;

    // Patients.
    TAutoIncField* TablebingrenId;
    TStringField* TablebingrenXm;
    TStringField* TablebingrenXb;
    TSmallintField* TablebingrenNl;
    TStringField* TablebingrenGzdw;
    TStringField* TablebingrenLxdh;
    TStringField* TablebingrenTxdz;
    TStringField* TablebingrenDzyx;
    TDateField* TablebingrenCzrq;
    TDateField* TablebingrenFzyysj;
    TStringField* TablebingrenSfylxfz;
    TStringField* TablebingrenDfhf;
    TStringField* TablebingrenJtcy;

    // Visits.
    TAutoIncField* TableBingliId;
    TIntegerField* TableBingliBrid;
    TDateField* TableBingliLzrq;
    TStringField* TableBingliZhsu;
    TMemoField* TableBingliXbs;
    TMemoField* TableBingliJcsj;
    TMemoField* TableBingliZhengduan;
    TMemoField* TableBingliZhiliao;
    TDateField* TableBingliFzyysj;
    TStringField* TableBingliJzys;
    TStringField* TableBingliJtcy;

    // The name search.
    TIntegerField* QueryczxmId;
    TStringField* QueryczxmXm;
    TStringField* QueryczxmXb;
    TSmallintField* QueryczxmNl;
    TStringField* QueryczxmGzdw;
    TStringField* QueryczxmLxdh;

  private:
    void DefinePatients();
    void DefineVisits();
    void DefineNameSearch();
};
