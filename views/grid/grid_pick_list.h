// The drop-down list of a grid column's pick list: a small frameless popup under (or above) the
// cell editor that offers the column's values. The keyboard focus stays in the editor, which
// hands the list its keys (TDBGrid decides what they do).
//
// Contracts:
// - Open fills the list anew and highlights the entry equal to the editor's text, compared
//   without regard to case; none when the text is empty or not listed. The list keeps its
//   entries after it closes, until it is filled again.
// - Search adds a character to the search text (emptied when more than 2000 ms passed since its
//   last character; at most 32 characters, further ones ignored) and highlights the first entry
//   that begins with it, without regard to case.
// - Releasing the left button over the list chooses the entry under the pointer; releasing it
//   elsewhere closes the list without choosing, except the release that ends the press that
//   opened the list. A press outside the list closes it.
#pragma once

#include <QFrame>
#include <QStringList>
#include <cstdint>

class QListWidget;
class TDBGrid;
class TGridCellEditor;

class TGridPickList : public QFrame {
  public:
    explicit TGridPickList(TDBGrid& grid);

    void Open(TGridCellEditor& editor, const QStringList& entries, int rows, bool byPress);
    QListWidget* List() const { return list_; }
    int Count() const;
    // The highlighted entry's row; -1 when none.
    int Highlighted() const;
    QString Entry(int row) const;
    void Highlight(int row);
    // Moves the highlight by `step` rows, staying in the list.
    void Step(int step);
    void Search(QChar character);
    void ClearSearch() { search_.clear(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool ContainsGlobal(QPointF global) const;
    void Place(const TGridCellEditor& editor, int rows);

    TDBGrid& grid_;
    QListWidget* list_;
    TGridCellEditor* editor_ = nullptr;
    QString search_;
    std::int64_t lastSearchKey_ = 0;
    bool openingPress_ = false;
};
