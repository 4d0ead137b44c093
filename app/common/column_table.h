// Grid columns written as the rows of a table, for the windows that list their grids' columns,
// and the column lists that more than one window shows.
#pragma once

#include <QStringList>
#include <initializer_list>
#include <optional>

#include "views/grid/db_grid.h"

// The input methods that columns and memos name.
inline constexpr const char* kSmartAbc = "中文 (简体) - 智能 ABC";
inline constexpr const char* kWubi = "王码五笔型输入法86版";

// One column. Its title alignment is always set; anything else left at its default is not
// assigned, so that it keeps following the grid.
struct TColumnEntry {
    const char* field;
    TAlignment titleAlignment = TAlignment::taCenter;
    int width = 0;  // 0: the default width
    QStringList pickList = {};
    const char* imeName = "";
    TImeMode imeMode = TImeMode::imDontCare;
    std::optional<TAlignment> alignment = std::nullopt;  // of the cells; default: the field's
};

// Adds the columns to the grid, in this order.
void AddColumns(TDBGrid* grid, std::initializer_list<TColumnEntry> entries);

// Every field of a patient, as the large patient lists show them: the creation date first,
// 64-pixel columns in between, the follow-up answers with their pick lists, the e-mail last.
void AddPatientListColumns(TDBGrid* grid);
