// A window with a data-bound grid over the clinic's patients (or another data source), shown
// and focused on the offscreen platform, with what the user would see and hear captured: the
// grid's events, failure messages, beeps and delete confirmations. The pick list's clock is
// fake and moves only when a test says so.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "clinic_fixture.h"
#include "views/grid/db_grid.h"

class GridFixture : public ClinicFixture {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The patient grid's columns: Id, Xm, Xb (pick list 男, 女), Nl, Fzyysj.
    enum PatientColumn { kId, kXm, kXb, kNl, kFzyysj };
    void ShowPatientGrid();
    // A grid with one column per field name on `source`.
    void ShowGrid(TDataSource& source, const std::vector<std::string>& fields);

    // Mouse on a data cell (row 0 is the top row shown) or the title row (row -1).
    QPoint CellCentre(int column, int row) const;
    void Click(int column, int row, Qt::MouseButton button = Qt::LeftButton);
    void ClickIndicator(int row);
    void DoubleClick(int column, int row);
    void Release(int column, int row);

    // Keys to whatever has the focus (the grid or its editor).
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void Type(const QString& text);
    QWidget* Focused() const;

    TGridCellEditor* Editor() const { return grid_->InplaceEditor(); }
    bool EditorOpen() const;
    QString EditorText() const;
    TDataSetState State() const { return data_->Tablebingren.State(); }
    // The patients' current Id ("" for a new record).
    std::string CurrentId() const { return data_->TablebingrenId->AsString(); }
    // Patients named p1, p2, ... pN.
    void AddPatients(int count);
    std::vector<std::string> TakeEvents();

    std::unique_ptr<QWidget> window_;
    TDBGrid* grid_ = nullptr;
    QLineEdit* other_ = nullptr;  // another control of the window, to leave the grid for
    std::vector<std::string> events_;
    std::vector<QString> messages_;
    int beeps_ = 0;
    std::int64_t now_ = 1'000'000;
    bool confirmDelete_ = true;
};
