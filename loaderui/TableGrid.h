// TTableGrid: a text grid whose columns always fill its width in remembered proportions. A resize
// stretches or shrinks every column in proportion; dragging a column border takes the width from
// (or gives it to) the column on the right, and the new proportions are remembered.
//
// The grid keeps the string-grid model its owner works with: row 0 is the fixed header row (shown
// as the horizontal header), rows 1 .. RowCount() - 1 are the body, and every cell has a text and
// an object (a QVariant).
#pragma once

#include <QTableWidget>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

constexpr int MaxGridColumns = 1024;
constexpr long double MinProportion = 0.0001L;   // SetColProportions ignores values not above it
constexpr int MinAvailableWidth = 40;
constexpr int MinNeighbourWidth = 2;   // what a drag leaves to the right neighbour
constexpr int GridRowHeight = 16;

using TProportions = std::array<long double, MaxGridColumns>;

// ---- the arithmetic, free of widgets ----

// Width the columns share: the client width less the grid lines, never below MinAvailableWidth.
int AvailableWidth(int clientWidth, int gridLineWidth, int colCount);

// Column widths for `available` pixels: each column its proportion rounded half to even, the last
// one the remainder but at least 1 pixel.
std::vector<int> SpreadWidths(std::span<const long double> proportions, int available);

// Scales the proportions to a sum of 1 (a sum not above 0 counts as 1).
void NormalizeProportions(std::span<long double> proportions);

// Each column's share of the widths' sum. A sum of 0 leaves the proportions as they were (there is
// nothing to learn from columns without width) and returns false.
bool CaptureProportions(std::span<const int> widths, std::span<long double> proportions);

// Stores the values above MinProportion; the others keep the proportion they replace.
void MergeProportions(std::span<const long double> values, std::span<long double> proportions);

// The neighbour rule: column widths `width` and `next` after the column is asked to become `value`.
// The right neighbour absorbs the change but keeps at least MinNeighbourWidth pixels.
struct TNeighbourWidths {
    int Width = 0;
    int Next = 0;
};
TNeighbourWidths NeighbourWidths(int width, int next, int value);

// ---- the grid ----

class TTableGrid : public QTableWidget {
    Q_OBJECT

public:
    explicit TTableGrid(QWidget* owner = nullptr);
    ~TTableGrid() override;

    TProportions Proportions{};
    bool LaidOut = false;
    bool UpdatingWidths = false;

    int ColCount() const { return columnCount(); }
    void SetColCount(int count);
    // Rows including the header row; at least 2 (a header and one body row).
    int RowCount() const { return rowCount() + 1; }
    void SetRowCount(int count);
    // The current (selected) row, 0 when there is none.
    int Row() const { return currentRow() + 1; }
    void SelectRow(int row);
    void SetRowSelect(bool on);

    int ColWidth(int index) const;
    // Through the neighbour rule; the last column cannot be set. A user's drag of a column border
    // lands here too.
    void SetColWidth(int index, int value);
    // Qt draws each grid line inside its cell, so no width is set aside for the lines.
    int GridLineWidth() const { return 0; }
    int ClientWidth() const;

    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);
    QVariant Object(int col, int row) const;
    void SetObject(int col, int row, const QVariant& object);
    // The texts of `row` from column 0 on; columns beyond the list keep theirs.
    void SetRowTexts(int row, const QStringList& texts);

    void SetColProportions(std::span<const long double> values);
    // Header row and one empty body row; the header texts stay, every object goes.
    void Clear();
    void DeleteRow(int row);
    // Copies text and object of every column from one row to another; `from` keeps its content.
    void MoveRow(int from, int to);

protected:
    void NormalizeProportions();
    void FitColumns();
    void CaptureProportions();

    // The control's resize, and the client area's alone (when the vertical scroll bar comes or
    // goes): the scroll area hands both to this handler.
    void resizeEvent(QResizeEvent* e) override;

private:
    QTableWidgetItem* ItemAt(int col, int row) const;
    QTableWidgetItem* MakeItem(int col, int row);
    void SetWidthDirect(int index, int width);
    void ColumnDragged(int index, int oldWidth, int newWidth);
};
