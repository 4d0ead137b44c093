#include "app/printing/printable.h"

#include "app/common/window_style.h"
#include "base/dates.h"
#include "base/short_date_format.h"

std::unique_ptr<TPagedDocument> TPrintable::LayOutOn(const QPaintDevice& device) const {
    const QString today = QString::fromStdString(dates::FormatShortDate(dates::Today()));
    auto document = std::make_unique<TPagedDocument>(
        device, PrintFont(10), TPageHead{ApplicationTitle(), Subject(), today});
    AddBlocks(*document);
    return document;
}
