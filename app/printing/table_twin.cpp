#include "app/printing/table_twin.h"

// Named as the shown table, so that a failure names the record set the user knows.
std::unique_ptr<TTable> TwinOf(const TTable& shown) {
    auto twin = std::make_unique<TTable>(shown.Name());
    twin->SetDatabaseName(shown.DatabaseName());
    twin->SetTableName(shown.TableName());
    twin->SetIndexName(shown.IndexName());
    twin->SetFilterOptions(shown.FilterOptions());
    twin->SetFilter(shown.Filter());
    twin->SetFiltered(shown.Filtered());
    return twin;
}
