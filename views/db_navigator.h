// TDBNavigator: a bar of ten buttons that moves through, inserts, deletes, edits, posts, cancels
// and refreshes the records of its data source's record set.
//
// The buttons stand in the fixed order of TNavigateBtn; VisibleButtons (default: all) chooses
// the shown ones, which share the bar's width equally (the odd pixels go to the first ones) and
// are never smaller than 20 x 18. A button acts only while the record set is open, and is
// enabled by the record set's position and state:
//   First, Prior: not at the beginning (BOF)      Next, Last: not at the end (EOF)
//   Insert, Refresh: the record set can be modified
//   Delete: can be modified and not both at the beginning and at the end
//   Edit: can be modified and not editing          Post, Cancel: can be modified and editing
// and never while the navigator is disabled or the record set closed. Delete asks the delete
// confirmation first while ConfirmDelete is on. The failure of an action reaches the user
// through the application's failure handler.
//
// Hints: a button's hint is the non-empty text at its position in Hints (hidden buttons
// counted), else its English default; a Hints list equal to the ten defaults is kept as empty.
// Hints show only while ShowHint is on. The bar is no tab stop and takes no keys.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <set>

#include "data/data_source.h"
#include "views/db_navigator_button.h"

using TNavigateBtns = std::set<TNavigateBtn>;

class TDBNavigator : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMinButtonWidth = 20;
    static constexpr int kMinButtonHeight = 18;

    explicit TDBNavigator(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);

    const TNavigateBtns& VisibleButtons() const { return visible_; }
    void SetVisibleButtons(const TNavigateBtns& buttons);

    const QStringList& Hints() const { return hints_; }
    void SetHints(const QStringList& hints);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);
    // The hint that the button shows while ShowHint is on.
    QString ButtonHint(TNavigateBtn button) const;
    static const QStringList& DefaultHints();

    bool ConfirmDelete() const { return confirmDelete_; }
    void SetConfirmDelete(bool confirm) { confirmDelete_ = confirm; }

    TNavButton* Button(TNavigateBtn button) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class Link : public TDataLink {
      public:
        explicit Link(TDBNavigator& navigator) : navigator_(navigator) {}
        void DataEvent(TDataEvent, TField*, int) override { navigator_.UpdateButtons(); }

      private:
        TDBNavigator& navigator_;
    };

    // The record set while it is open; nullptr otherwise.
    TDataSet* OpenDataSet() const;
    void Click(TNavigateBtn button);
    void UpdateButtons();
    void UpdateHints();
    void LayOut();
    int VisibleCount() const { return static_cast<int>(visible_.size()); }

    Link link_{*this};
    std::array<TNavButton*, kNavigateBtnCount> buttons_{};
    TNavigateBtns visible_;
    QStringList hints_;
    bool showHint_ = false;
    bool confirmDelete_ = true;
};
