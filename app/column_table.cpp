#include "app/column_table.h"

void AddColumns(TDBGrid* grid, std::initializer_list<TColumnSpec> specs) {
    for (const TColumnSpec& spec : specs) {
        TColumn* column = grid->Columns().Add();
        column->SetFieldName(spec.field);
        column->Title().SetAlignment(spec.titleAlignment);
        if (spec.width) column->SetWidth(spec.width);
        if (!spec.pickList.isEmpty()) column->SetPickList(spec.pickList);
        if (*spec.imeName) column->SetImeName(spec.imeName);
        if (spec.imeMode != TImeMode::imDontCare) column->SetImeMode(spec.imeMode);
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
