#include "loaderui/TableGrid.h"

#include <QHeaderView>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {
constexpr int InitialRowCount = 2;
constexpr int InitialColCount = 4;
constexpr int DefaultColWidth = 64;
constexpr int ObjectRole = Qt::UserRole;

// Restores UpdatingWidths on every way out.
class TUpdatingWidths {
public:
    explicit TUpdatingWidths(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
    ~TUpdatingWidths() { flag_ = saved_; }
    TUpdatingWidths(const TUpdatingWidths&) = delete;
    TUpdatingWidths& operator=(const TUpdatingWidths&) = delete;

private:
    bool& flag_;
    bool saved_;
};
}   // namespace

// ---- the arithmetic ----

int AvailableWidth(int clientWidth, int gridLineWidth, int colCount)
{
    return std::max(clientWidth - gridLineWidth * colCount, MinAvailableWidth);
}

std::vector<int> SpreadWidths(std::span<const long double> proportions, int available)
{
    std::vector<int> widths(proportions.size(), 0);
    if (widths.empty()) return widths;
    int total = 0;
    for (size_t i = 0; i + 1 < proportions.size(); ++i) {
        // The default rounding mode takes halves to the even neighbour. Proportions someone set out of
        // range must not give a negative or absurd width.
        long double w = std::nearbyint(proportions[i] * available);
        widths[i] = static_cast<int>(std::clamp<long double>(w, 0, available));
        total += widths[i];
    }
    widths.back() = std::max(available - total, 1);
    return widths;
}

void NormalizeProportions(std::span<long double> proportions)
{
    long double sum = std::accumulate(proportions.begin(), proportions.end(), 0.0L);
    if (!(sum > 0)) sum = 1;
    for (long double& p : proportions) p /= sum;
}

bool CaptureProportions(std::span<const int> widths, std::span<long double> proportions)
{
    long long total = std::accumulate(widths.begin(), widths.end(), 0LL);
    if (total <= 0) return false;
    size_t n = std::min(widths.size(), proportions.size());
    for (size_t i = 0; i < n; ++i) proportions[i] = static_cast<long double>(widths[i]) / total;
    return true;
}

void MergeProportions(std::span<const long double> values, std::span<long double> proportions)
{
    size_t n = std::min(values.size(), proportions.size());
    for (size_t j = 0; j < n; ++j)
        if (values[j] > MinProportion) proportions[j] = values[j];
}

TNeighbourWidths NeighbourWidths(int width, int next, int value)
{
    value = std::max(value, 0);
    if (value - width > next - MinNeighbourWidth) value = width + next - MinNeighbourWidth;
    int change = value - width;
    return {value, next - change};
}

// ---- the grid ----

TTableGrid::TTableGrid(QWidget* owner) : QTableWidget(owner)
{
    TUpdatingWidths updating(UpdatingWidths);
    setColumnCount(InitialColCount);
    setRowCount(InitialRowCount - 1);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(GridRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* columns = horizontalHeader();
    columns->setMinimumSectionSize(0);
    columns->setDefaultSectionSize(DefaultColWidth);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(false);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(columns, &QHeaderView::sectionResized, this, &TTableGrid::ColumnDragged);

    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

TTableGrid::~TTableGrid() { Clear(); }

void TTableGrid::SetColCount(int count)
{
    TUpdatingWidths updating(UpdatingWidths);
    setColumnCount(std::clamp(count, 1, MaxGridColumns));
}

void TTableGrid::SetRowCount(int count) { setRowCount(std::max(count, InitialRowCount) - 1); }

void TTableGrid::SelectRow(int row)
{
    if (row >= 1 && row < RowCount()) setCurrentCell(row - 1, 0);
}

void TTableGrid::SetRowSelect(bool on)
{
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

int TTableGrid::ColWidth(int index) const { return columnWidth(index); }

int TTableGrid::ClientWidth() const { return viewport()->width(); }

void TTableGrid::SetWidthDirect(int index, int width) { setColumnWidth(index, std::max(width, 0)); }

void TTableGrid::SetColWidth(int index, int value)
{
    if (index < 0 || index >= ColCount()) return;
    if (UpdatingWidths) {
        SetWidthDirect(index, value);
        return;
    }
    if (index >= ColCount() - 1) return;
    {
        TUpdatingWidths updating(UpdatingWidths);
        TNeighbourWidths widths = NeighbourWidths(ColWidth(index), ColWidth(index + 1), value);
        SetWidthDirect(index, widths.Width);
        SetWidthDirect(index + 1, widths.Next);
    }
    CaptureProportions();
}

// The header has already given the column its new width; undo that and let the neighbour rule
// decide.
void TTableGrid::ColumnDragged(int index, int oldWidth, int newWidth)
{
    if (UpdatingWidths) return;
    {
        TUpdatingWidths updating(UpdatingWidths);
        SetWidthDirect(index, oldWidth);
    }
    SetColWidth(index, newWidth);
}

QTableWidgetItem* TTableGrid::ItemAt(int col, int row) const
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return nullptr;
    return row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
}

QTableWidgetItem* TTableGrid::MakeItem(int col, int row)
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return nullptr;
    if (QTableWidgetItem* existing = ItemAt(col, row)) return existing;
    auto* made = new QTableWidgetItem;
    made->setFlags(made->flags() & ~Qt::ItemIsEditable);
    if (row == 0) setHorizontalHeaderItem(col, made);
    else setItem(row - 1, col, made);
    return made;
}

QString TTableGrid::Cell(int col, int row) const
{
    const QTableWidgetItem* cell = ItemAt(col, row);
    return cell ? cell->text() : QString();
}

void TTableGrid::SetCell(int col, int row, const QString& text)
{
    if (QTableWidgetItem* cell = ItemAt(col, row)) {
        cell->setText(text);
    } else if (!text.isEmpty()) {
        if (QTableWidgetItem* made = MakeItem(col, row)) made->setText(text);
    }
}

QVariant TTableGrid::Object(int col, int row) const
{
    const QTableWidgetItem* cell = ItemAt(col, row);
    return cell ? cell->data(ObjectRole) : QVariant();
}

void TTableGrid::SetObject(int col, int row, const QVariant& object)
{
    if (QTableWidgetItem* cell = ItemAt(col, row)) {
        cell->setData(ObjectRole, object);
    } else if (object.isValid()) {
        if (QTableWidgetItem* made = MakeItem(col, row)) made->setData(ObjectRole, object);
    }
}

void TTableGrid::SetRowTexts(int row, const QStringList& texts)
{
    int n = std::min(static_cast<int>(texts.size()), ColCount());
    for (int col = 0; col < n; ++col) SetCell(col, row, texts[col]);
}

void TTableGrid::SetColProportions(std::span<const long double> values)
{
    size_t count = std::min(values.size(), static_cast<size_t>(ColCount()));
    MergeProportions(values.first(count), Proportions);
    NormalizeProportions();
    if (LaidOut) FitColumns();
}

void TTableGrid::NormalizeProportions()
{
    ::NormalizeProportions(std::span(Proportions).first(static_cast<size_t>(ColCount())));
}

void TTableGrid::FitColumns()
{
    TUpdatingWidths updating(UpdatingWidths);
    int available = AvailableWidth(ClientWidth(), GridLineWidth(), ColCount());
    std::vector<int> widths = SpreadWidths(std::span(Proportions).first(static_cast<size_t>(ColCount())), available);
    for (int i = 0; i < ColCount(); ++i) SetWidthDirect(i, widths[static_cast<size_t>(i)]);
}

void TTableGrid::CaptureProportions()
{
    if (UpdatingWidths) return;
    std::vector<int> widths(static_cast<size_t>(ColCount()));
    for (int i = 0; i < ColCount(); ++i) widths[static_cast<size_t>(i)] = ColWidth(i);
    ::CaptureProportions(widths, Proportions);
}

void TTableGrid::Clear()
{
    SetRowCount(InitialRowCount);
    for (int col = 0; col < ColCount(); ++col) {
        SetCell(col, 1, QString());
        SetObject(col, 0, QVariant());
        SetObject(col, 1, QVariant());
    }
}

void TTableGrid::DeleteRow(int row)
{
    if (row < 1 || row >= RowCount()) return;
    if (RowCount() <= InitialRowCount) {
        Clear();
        return;
    }
    for (int r = row; r <= RowCount() - 2; ++r) MoveRow(r + 1, r);
    SetRowCount(RowCount() - 1);
}

void TTableGrid::MoveRow(int from, int to)
{
    if (from < 0 || from >= RowCount() || to < 0 || to >= RowCount()) return;
    for (int col = 0; col < ColCount(); ++col) {
        SetCell(col, to, Cell(col, from));
        SetObject(col, to, Object(col, from));
    }
}

void TTableGrid::resizeEvent(QResizeEvent* e)
{
    // Keep the widths the user has set so far, then spread the new width by them.
    if (LaidOut) CaptureProportions();
    QTableWidget::resizeEvent(e);
    FitColumns();
    LaidOut = true;
}
