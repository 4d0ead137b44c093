#include "app/common/column_table.h"

void AddColumns(TDBGrid* grid, std::initializer_list<TColumnEntry> entries) {
    for (const TColumnEntry& entry : entries) {
        TColumn* column = grid->Columns().Add();
        column->SetFieldName(entry.field);
        column->Title().SetAlignment(entry.titleAlignment);
        if (entry.width) column->SetWidth(entry.width);
        if (!entry.pickList.isEmpty()) column->SetPickList(entry.pickList);
        if (*entry.imeName) column->SetImeName(entry.imeName);
        if (entry.imeMode != TImeMode::imDontCare) column->SetImeMode(entry.imeMode);
        if (entry.alignment) column->SetAlignment(*entry.alignment);
    }
}

void AddPatientListColumns(TDBGrid* grid) {
    constexpr TAlignment centre = TAlignment::taCenter, left = TAlignment::taLeftJustify;
    AddColumns(grid,
               {{"Czrq", centre},
                {"Id", centre, 64},
                {"Xm", centre, 64, {}, kSmartAbc},
                {"Xb", centre, 64, {"男", "女"}, kSmartAbc},
                {"Nl", centre, 64},
                {"Lxdh", centre, 64},
                {"Fzyysj", centre, 64},
                {"Sfylxfz", left, 64, {"是", "否"}},
                {"Dfhf", left, 64, {"按时复诊", "改时再约", "放弃治疗", "无人应答", "电话换号"}},
                {"Jtcy", left, 64, {}, kSmartAbc},
                {"Gzdw", centre, 64, {}, kWubi},
                {"Txdz", centre, 64, {}, kSmartAbc},
                {"Dzyx", centre}});
}
