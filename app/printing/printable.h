// A document that the program prints: the subject that heads its pages and the blocks it puts
// on them.
//
// Contracts: a document reads its records when it is made; laying it out and painting it use
// only what was read, touch no record set and throw nothing, so that it can be laid out anew for
// whatever printer and page set-up the print preview asks for.
#pragma once

#include <QPaintDevice>
#include <QString>
#include <memory>

#include "app/printing/paged_document.h"

class TPrintable {
  public:
    virtual ~TPrintable() = default;

    // What every page is headed with, and the print job's name.
    virtual QString Subject() const = 0;
    // The document on pages of `device`, under the program's title and the date of today.
    std::unique_ptr<TPagedDocument> LayOutOn(const QPaintDevice& device) const;

  protected:
    virtual void AddBlocks(TPagedDocument& document) const = 0;
};
