// The print preview through which the program prints: A4 pages of a document, from which the
// user prints them or saves them as a PDF.
#pragma once

#include <QPrinter>
#include <QWidget>

#include "app/printing/printable.h"

// A4 upright, the whole sheet painted by the document, which keeps its own margins: as every
// document is laid out, on paper and in a PDF alike.
void SetUpA4(QPrinter& printer);

// Shows the document in a print preview, modal over `owner`, until the user closes it. The
// preview lays the document out anew whenever its printer or page set-up changes.
void ShowPrintPreview(const TPrintable& printable, QWidget* owner);
