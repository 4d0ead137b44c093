#include "views/caption_on_frame.h"

#include <QGroupBox>

void PutCaptionOnFrame(QGroupBox& box) {
    const int frameTop = box.fontMetrics().height() / 2;
    box.setStyleSheet(
        QString(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: %1px; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0px 2px; }")
            .arg(frameTop));
}
