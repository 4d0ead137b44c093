#include "app/printing/print_preview.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>

void SetUpA4(QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
}

void ShowPrintPreview(const TPrintable& printable, QWidget* owner) {
    QPrinter printer(QPrinter::HighResolution);
    SetUpA4(printer);
    printer.setDocName(printable.Subject());
    QPrintPreviewDialog preview(&printer, owner);
    preview.setWindowTitle(QStringLiteral("打印预览 - ") + printable.Subject());
    QObject::connect(
        &preview, &QPrintPreviewDialog::paintRequested, &preview,
        [&printable](QPrinter* target) { printable.LayOutOn(*target)->Print(*target); });
    preview.exec();
}
