#include "views/grid/grid_data_link.h"

#include "views/grid/db_grid.h"

int TGridDataLink::BufferCount() const {
    return grid_.VisibleRowCount();
}

// The grid repaints from the window whatever the distance of a scroll.
void TGridDataLink::DataEvent(TDataEvent event, TField* field, int) {
    grid_.DataEvent(event, field);
}
