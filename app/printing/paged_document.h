// Pages for print, laid out completely before any is painted: each page carries a head (a
// title, the document's subject and the date printed) and a foot ("第 n 页 共 m 页"), and
// between them the body, a flow of blocks of text. It knows nothing of what the text says.
//
// Contracts:
// - The page is the paint device's whole area: a printer in full-page mode, or an image of one
//   page. The margins are fixed in millimetres, sizes of text and space are given in points, and
//   everything is laid out with the device's own font metrics, so what is painted on it is
//   exactly what was laid out.
// - A block's cells are laid out when it is added. Pages break only between lines, at a height
//   where no line of any cell of the block is cut: a line never spreads over two pages, and a
//   long block simply goes on at the top of the next one. Only a line taller than a whole body
//   would overflow it.
// - Pages are counted once every block is added; PageCount(), Lines() and PaintPage() answer for
//   the blocks added so far, so each page is painted knowing the total.
#pragma once

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// One cell of a block: text in a column of the body, given as shares of the body's width.
struct TPrintCell {
    QString text = {};
    int boldLength = 0;  // the first characters set in bold, e.g. a caption
    double left = 0;
    double width = 1;
};

// A row of cells side by side, each wrapping within its column. Its line breaks are kept as
// line breaks.
struct TPrintBlock {
    std::vector<TPrintCell> cells = {};
    double pointSize = 10.5;
    double spaceBefore = 0;  // dropped at the top of a page
    double padding = 0;      // above its first line, inside the block: kept at the top of a page
    double minHeight = 0;    // room the block takes at least, kept with its last line
    bool ruleAbove = false;  // thin lines along its top and bottom edge
    bool ruleBelow = false;
    // A heading: it starts a new page rather than end one without the next block's first line.
    bool keepWithNext = false;
};

// The head's texts, the same on every page.
struct TPageHead {
    QString title;
    QString subject;
    QString printedDate;
};

// A line of text as placed on its page, in the device's coordinates.
struct TPrintedLine {
    int block;  // in the order added; -1 for the body head
    QRectF rect;
    QString text = {};
};

class TPagedDocument {
  public:
    // Every text is set in `font`'s families at the sizes of its blocks. Requires: `device`
    // outlives the document.
    TPagedDocument(const QPaintDevice& device, const QFont& font, TPageHead head);
    ~TPagedDocument();
    TPagedDocument(const TPagedDocument&) = delete;
    TPagedDocument& operator=(const TPagedDocument&) = delete;

    // A block that opens the body of every page, such as a table's column titles.
    void SetBodyHead(const TPrintBlock& block);
    void Add(const TPrintBlock& block);

    int PageCount() const;
    // Where the blocks go on every page.
    QRectF BodyRect() const { return body_; }
    // Every line of text that the page's body shows, from top to bottom.
    std::vector<TPrintedLine> Lines(int page) const;

    // Requires: 0 <= page < PageCount(); the painter is on a device of the same size and
    // resolution as the one laid out for.
    void PaintPage(QPainter& painter, int page) const;
    // Every page, one after the other.
    void Print(QPagedPaintDevice& device) const;

  private:
    struct LaidBlock;
    // A piece of a block, between two of its break heights, placed at a height of a page.
    struct Placement {
        int block;
        double from, to;
        double top;
    };
    using Page = std::vector<Placement>;

    std::unique_ptr<LaidBlock> LayOut(const TPrintBlock& block) const;
    QFont Font(double pointSize) const;
    QFont TitleFont() const;
    double Points(double points) const { return points * pixelsPerPoint_; }
    const LaidBlock& BlockAt(int index) const;
    const std::vector<Page>& Pages() const;
    std::vector<Page> Paginate() const;
    double KeptHeight(std::size_t index) const;
    void PaintBlockPiece(QPainter& painter, const LaidBlock& block, double from, double to,
                         double top) const;
    void PaintHeadAndFoot(QPainter& painter, int page) const;

    const QPaintDevice& device_;
    QFont font_;
    TPageHead head_;
    double pixelsPerPoint_;
    QRectF titleRect_, subjectRect_, footRect_;
    double headRule_, footRule_;
    QRectF body_;
    std::unique_ptr<LaidBlock> bodyHead_;
    std::vector<std::unique_ptr<LaidBlock>> blocks_;
    // Counted on demand: a block added afterwards may change where the pages before it break.
    mutable std::optional<std::vector<Page>> pages_;
};
