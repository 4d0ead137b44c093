#include "app/printing/paged_document.h"

#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace {

constexpr double kSideMarginMm = 18;
constexpr double kTopMarginMm = 12;
constexpr double kBottomMarginMm = 12;
constexpr double kTitlePoints = 15;
constexpr double kSubjectPoints = 10;
constexpr double kFootPoints = 9;
constexpr double kRulePoints = 0.5;
// Between the title, the subject and the rule of the head, and the rule and the text of the foot.
constexpr double kRuleGapPoints = 3;
constexpr double kBodyGapPoints = 8;  // between the body and the rules
// Rounding of the sums of line heights: two cells' lines of one font meet at the same height.
constexpr double kSameHeight = 0.01;

// A stored text's line breaks, of whatever system, as the breaks that QTextLayout keeps.
QString WithLineSeparators(QString text) {
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QChar('\r'), QChar::LineSeparator);
    text.replace(QChar('\n'), QChar::LineSeparator);
    return text;
}

// The height that a line takes: from its top to its baseline, and from there to its bottom.
// QTextLine rounds a line's height up to a whole pixel of the device, so its bottom is taken
// from that height, not from the font's descent.
struct LineMetrics {
    double ascent;
    double descent;
    double Height() const { return ascent + descent; }
};

// A line that holds Latin letters and Chinese alike, which come from different fonts: every
// line is at least as high, so that the baselines of cells side by side meet whatever their
// text.
LineMetrics MixedLine(const QFont& font, const QPaintDevice& device) {
    QTextLayout sample(QStringLiteral("A中"), font, &device);
    sample.beginLayout();
    QTextLine line = sample.createLine();
    line.setLineWidth(1e6);  // room for the sample on one line
    sample.endLayout();
    return {line.ascent(), line.height() - line.ascent()};
}

// The room of a line, from the top of the block.
struct Room {
    double top;
    double bottom;
};

// Lays the text out in lines of `width`, one below the other from `top`; answers their rooms.
std::vector<Room> LayOutLines(QTextLayout& layout, double width, double top, LineMetrics mixed) {
    std::vector<Room> rooms;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const double ascent = std::max(mixed.ascent, line.ascent());
        line.setPosition(QPointF(0, top + ascent - line.ascent()));
        const double bottom = top + ascent + std::max(mixed.descent, line.height() - line.ascent());
        rooms.push_back({top, bottom});
        top = bottom;
    }
    layout.endLayout();
    return rooms;
}

// The heights at which a page may end inside a block: the top of each line but the first where
// no line of another cell runs across it, and the block's bottom.
std::vector<double> Breaks(std::vector<Room> rooms, double firstTop, double height) {
    std::sort(rooms.begin(), rooms.end(),
              [](const Room& a, const Room& b) { return a.top < b.top; });
    std::vector<double> breaks;
    double lowestBottom = 0;
    for (const Room& room : rooms) {
        if (room.top > firstTop + kSameHeight && lowestBottom <= room.top + kSameHeight &&
            (breaks.empty() || breaks.back() + kSameHeight < room.top)) {
            breaks.push_back(room.top);
        }
        lowestBottom = std::max(lowestBottom, room.bottom);
    }
    breaks.push_back(height);
    return breaks;
}

}  // namespace

struct TPagedDocument::LaidBlock {
    struct Cell {
        std::unique_ptr<QTextLayout> layout;
        double x;
    };
    TPrintBlock style;
    std::vector<Cell> cells;
    double height = 0;
    // The heights at which a page may end inside the block, ascending; the last is its height.
    std::vector<double> breaks;

    // Calls `visit(cell, line)` for every line whose top lies in [from, to).
    template <class Visit>
    void ForEachLine(double from, double to, Visit visit) const {
        for (const Cell& cell : cells) {
            for (int i = 0; i < cell.layout->lineCount(); ++i) {
                const QTextLine line = cell.layout->lineAt(i);
                if (line.y() + kSameHeight >= from && line.y() + kSameHeight < to) {
                    visit(cell, line);
                }
            }
        }
    }
};

TPagedDocument::TPagedDocument(const QPaintDevice& device, const QFont& font, TPageHead head)
    : device_(device),
      font_(font),
      head_(std::move(head)),
      pixelsPerPoint_(device.logicalDpiY() / 72.0) {
    const double side = kSideMarginMm * device.logicalDpiX() / 25.4;
    const double top = kTopMarginMm * device.logicalDpiY() / 25.4;
    const double bottom = device.height() - kBottomMarginMm * device.logicalDpiY() / 25.4;
    const double width = device.width() - 2 * side;
    const double titleHeight = MixedLine(TitleFont(), device_).Height();
    const double subjectHeight = MixedLine(Font(kSubjectPoints), device_).Height();
    const double footHeight = MixedLine(Font(kFootPoints), device_).Height();
    titleRect_ = QRectF(side, top, width, titleHeight);
    subjectRect_ = QRectF(side, titleRect_.bottom() + Points(kRuleGapPoints), width, subjectHeight);
    headRule_ = subjectRect_.bottom() + Points(kRuleGapPoints);
    footRect_ = QRectF(side, bottom - footHeight, width, footHeight);
    footRule_ = footRect_.top() - Points(kRuleGapPoints);
    body_ = QRectF(side, headRule_ + Points(kBodyGapPoints), width,
                   footRule_ - headRule_ - 2 * Points(kBodyGapPoints));
}

TPagedDocument::~TPagedDocument() = default;

QFont TPagedDocument::Font(double pointSize) const {
    QFont font = font_;
    font.setPointSizeF(pointSize);
    return font;
}

QFont TPagedDocument::TitleFont() const {
    QFont font = Font(kTitlePoints);
    font.setBold(true);
    return font;
}

void TPagedDocument::SetBodyHead(const TPrintBlock& block) {
    bodyHead_ = LayOut(block);
    pages_.reset();
}

void TPagedDocument::Add(const TPrintBlock& block) {
    blocks_.push_back(LayOut(block));
    pages_.reset();
}

std::unique_ptr<TPagedDocument::LaidBlock> TPagedDocument::LayOut(const TPrintBlock& block) const {
    auto laid = std::make_unique<LaidBlock>();
    laid->style = block;
    const QFont font = Font(block.pointSize);
    const LineMetrics mixed = MixedLine(font, device_);
    const double top = Points(block.padding);
    std::vector<Room> rooms;
    for (const TPrintCell& cell : block.cells) {
        auto layout = std::make_unique<QTextLayout>(WithLineSeparators(cell.text), font, &device_);
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        if (cell.boldLength > 0) {
            QTextLayout::FormatRange bold{0, cell.boldLength, {}};
            bold.format.setFontWeight(QFont::Bold);
            layout->setFormats({bold});
        }
        const std::vector<Room> cellRooms =
            LayOutLines(*layout, cell.width * body_.width(), top, mixed);
        if (!cellRooms.empty()) laid->height = std::max(laid->height, cellRooms.back().bottom);
        rooms.insert(rooms.end(), cellRooms.begin(), cellRooms.end());
        laid->cells.push_back({std::move(layout), cell.left * body_.width()});
    }
    laid->height = std::max(laid->height, Points(block.minHeight));
    laid->breaks = Breaks(std::move(rooms), top, laid->height);
    return laid;
}

const TPagedDocument::LaidBlock& TPagedDocument::BlockAt(int index) const {
    return index < 0 ? *bodyHead_ : *blocks_[static_cast<std::size_t>(index)];
}

const std::vector<TPagedDocument::Page>& TPagedDocument::Pages() const {
    if (!pages_) pages_ = Paginate();
    return *pages_;
}

int TPagedDocument::PageCount() const {
    return static_cast<int>(Pages().size());
}

// How much of the page a heading needs: itself, the headings that follow it, and the first
// piece of the block they head.
double TPagedDocument::KeptHeight(std::size_t index) const {
    double height = 0;
    for (std::size_t i = index; i < blocks_.size(); ++i) {
        const LaidBlock& block = *blocks_[i];
        if (i > index) height += Points(block.style.spaceBefore);
        if (!block.style.keepWithNext) return height + block.breaks.front();
        height += block.height;
    }
    return height;
}

std::vector<TPagedDocument::Page> TPagedDocument::Paginate() const {
    std::vector<Page> pages(1);
    const double start = body_.top() + (bodyHead_ ? bodyHead_->height : 0);
    double y = start;
    const auto newPage = [&] {
        pages.emplace_back();
        y = start;
    };
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const LaidBlock& block = *blocks_[i];
        if (!pages.back().empty()) {
            y += Points(block.style.spaceBefore);
            const double kept = block.style.keepWithNext ? KeptHeight(i) : 0;
            if (y + kept > body_.bottom() && start + kept <= body_.bottom()) newPage();
        }
        double from = 0;
        while (from < block.height) {
            // The lowest break that still fits; on an empty page at least one piece goes.
            auto fits = std::upper_bound(block.breaks.begin(), block.breaks.end(),
                                         from + body_.bottom() - y);
            if (fits == block.breaks.begin() || *std::prev(fits) <= from + kSameHeight) {
                if (!pages.back().empty()) {
                    newPage();
                    continue;
                }
                fits = std::upper_bound(block.breaks.begin(), block.breaks.end(), from) + 1;
            }
            const double to = *std::prev(fits);
            pages.back().push_back({static_cast<int>(i), from, to, y});
            y += to - from;
            from = to;
            if (from < block.height) newPage();
        }
    }
    return pages;
}

std::vector<TPrintedLine> TPagedDocument::Lines(int page) const {
    std::vector<TPrintedLine> lines;
    const auto collect = [&](int index, double from, double to, double top) {
        BlockAt(index).ForEachLine(
            from, to, [&](const LaidBlock::Cell& cell, const QTextLine& line) {
                const QRectF rect(body_.left() + cell.x + line.x(), top + (line.y() - from),
                                  line.naturalTextWidth(), line.height());
                lines.push_back(
                    {index, rect, cell.layout->text().mid(line.textStart(), line.textLength())});
            });
    };
    if (bodyHead_) collect(-1, 0, bodyHead_->height, body_.top());
    for (const Placement& placed : Pages()[static_cast<std::size_t>(page)]) {
        collect(placed.block, placed.from, placed.to, placed.top);
    }
    return lines;
}

void TPagedDocument::PaintBlockPiece(QPainter& painter, const LaidBlock& block, double from,
                                     double to, double top) const {
    painter.setPen(QPen(Qt::black, Points(kRulePoints)));
    if (block.style.ruleAbove && from == 0) {
        painter.drawLine(QPointF(body_.left(), top), QPointF(body_.right(), top));
    }
    if (block.style.ruleBelow && to == block.height) {
        const double bottom = top + to - from;
        painter.drawLine(QPointF(body_.left(), bottom), QPointF(body_.right(), bottom));
    }
    block.ForEachLine(from, to, [&](const LaidBlock::Cell& cell, const QTextLine& line) {
        line.draw(&painter, QPointF(body_.left() + cell.x, top - from));
    });
}

void TPagedDocument::PaintHeadAndFoot(QPainter& painter, int page) const {
    painter.setFont(TitleFont());
    painter.drawText(titleRect_, Qt::AlignHCenter | Qt::AlignBottom, head_.title);
    painter.setFont(Font(kSubjectPoints));
    painter.drawText(subjectRect_, Qt::AlignLeft | Qt::AlignBottom, head_.subject);
    painter.drawText(subjectRect_, Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("打印日期：") + head_.printedDate);
    painter.setFont(Font(kFootPoints));
    painter.drawText(footRect_, Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("第 %1 页 共 %2 页").arg(page + 1).arg(PageCount()));
    painter.setPen(QPen(Qt::black, Points(kRulePoints)));
    for (double y : {headRule_, footRule_}) {
        painter.drawLine(QPointF(body_.left(), y), QPointF(body_.right(), y));
    }
}

void TPagedDocument::PaintPage(QPainter& painter, int page) const {
    painter.save();
    PaintHeadAndFoot(painter, page);
    if (bodyHead_) PaintBlockPiece(painter, *bodyHead_, 0, bodyHead_->height, body_.top());
    for (const Placement& placed : Pages()[static_cast<std::size_t>(page)]) {
        PaintBlockPiece(painter, BlockAt(placed.block), placed.from, placed.to, placed.top);
    }
    painter.restore();
}

void TPagedDocument::Print(QPagedPaintDevice& device) const {
    QPainter painter(&device);
    for (int page = 0; page < PageCount(); ++page) {
        if (page > 0) device.newPage();
        PaintPage(painter, page);
    }
}
