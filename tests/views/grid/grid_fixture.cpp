#include "grid_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "views/confirm_delete.h"
#include "views/failure_reporting.h"
#include "views/grid/grid_cell_editor.h"
#include "views/grid/grid_environment.h"

void GridFixture::SetUp() {
    ClinicFixture::SetUp();
    TApplication::SetMessageBox(
        [this](const QString&, const QString& text) { messages_.push_back(text); });
    gridenv::SetBeep([this] { ++beeps_; });
    gridenv::SetClock([this] { return now_; });
    SetDeleteConfirmation([this](QWidget*) { return confirmDelete_; });
    window_ = std::make_unique<QWidget>();
    window_->resize(700, 400);
    other_ = new QLineEdit(window_.get());
    other_->setGeometry(0, 360, 200, 24);
}

void GridFixture::TearDown() {
    window_.reset();
    TApplication::SetMessageBox(nullptr);
    gridenv::SetBeep(nullptr);
    gridenv::SetClock(nullptr);
    SetDeleteConfirmation(nullptr);
    ClinicFixture::TearDown();
}

void GridFixture::ShowGrid(TDataSource& source, const std::vector<std::string>& fields) {
    grid_ = new TDBGrid(window_.get());
    grid_->setGeometry(0, 0, 700, 300);
    for (const std::string& field : fields) grid_->Columns().Add()->SetFieldName(field);
    grid_->SetDataSource(&source);
    grid_->OnCellClick = [this](TColumn* column) {
        events_.push_back("cell " + column->FieldName());
    };
    grid_->OnDblClick = [this](TDBGrid*) { events_.push_back("dblclick"); };
    grid_->OnTitleClick = [this](TColumn* column) {
        events_.push_back("title " + column->FieldName());
    };
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    grid_->setFocus();
}

void GridFixture::ShowPatientGrid() {
    ShowGrid(data_->DataSourceBingren, {"Id", "Xm", "Xb", "Nl", "Fzyysj"});
    grid_->Columns()[kXb]->SetPickList({"男", "女"});
}

QPoint GridFixture::CellCentre(int column, int row) const {
    return grid_->CellRect(column, row).center();
}

void GridFixture::Click(int column, int row, Qt::MouseButton button) {
    QTest::mouseClick(grid_->viewport(), button, {}, CellCentre(column, row));
}

void GridFixture::ClickIndicator(int row) {
    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->IndicatorRect(row).center());
}

void GridFixture::DoubleClick(int column, int row) {
    QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, CellCentre(column, row));
}

void GridFixture::Release(int column, int row) {
    QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, CellCentre(column, row));
}

QWidget* GridFixture::Focused() const {
    return QApplication::focusWidget();
}

void GridFixture::Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(Focused(), key, modifiers);
}

// QTest types only Latin-1; these events carry any character as their text.
void GridFixture::Type(const QString& text) {
    for (QChar character : text) {
        const int key = character.unicode() < 0x80 ? character.toUpper().unicode() : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(character));
        QApplication::sendEvent(Focused(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(character));
        QApplication::sendEvent(Focused(), &release);
    }
}

bool GridFixture::EditorOpen() const {
    return grid_->EditorMode() && Editor()->isVisible();
}

QString GridFixture::EditorText() const {
    return Editor()->text();
}

void GridFixture::AddPatients(int count) {
    for (int i = 1; i <= count; ++i) AddPatient("p" + std::to_string(i));
    data_->Tablebingren.First();
}

std::vector<std::string> GridFixture::TakeEvents() {
    std::vector<std::string> taken;
    taken.swap(events_);
    return taken;
}
