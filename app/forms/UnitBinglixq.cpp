#include "app/forms/UnitBinglixq.h"

#include "app/window_style.h"

TFormblxq::TFormblxq(TDataSource* visits, QWidget* parent) : QWidget(parent), visits_(visits) {
    setObjectName("Formblxq");
    setWindowIcon(ApplicationIcon());
    setFont(ClinicFont(kWindowFontPixels));
}
