// The proportional grid: the arithmetic on its own, then the widget (shown on the offscreen
// platform, so that resizes reach it as they do on a screen).
#include "loaderui/TableGrid.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>
#include <vector>

namespace {
using Props = std::vector<long double>;

long double Sum(std::span<const long double> p) { return std::accumulate(p.begin(), p.end(), 0.0L); }
}   // namespace

// ---- arithmetic ----

struct SpreadCase {
    const char* Name;
    Props Proportions;
    int Available;
    std::vector<int> Widths;
};

class SpreadWidthsTest : public ::testing::TestWithParam<SpreadCase> {};

TEST_P(SpreadWidthsTest, GivesEachColumnItsShareAndTheLastTheRest)
{
    const SpreadCase& c = GetParam();
    EXPECT_EQ(SpreadWidths(c.Proportions, c.Available), c.Widths);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    BlockGrid, SpreadWidthsTest,
    ::testing::Values(
        SpreadCase{"BlockList", {0.1L, 0.7L, 0.2L}, 293, {29, 205, 59}},
        SpreadCase{"HalfRoundsDownToEven", {0.5L, 0.5L}, 41, {20, 21}},
        SpreadCase{"HalfRoundsUpToEven", {0.5L, 0.5L}, 43, {22, 21}},
        SpreadCase{"AllZeroLeavesEverythingToTheLast", {0, 0, 0}, 120, {0, 0, 120}},
        SpreadCase{"LastColumnKeepsOnePixel", {0.6L, 0.6L, 0.0L}, 50, {30, 30, 1}},
        SpreadCase{"OneColumnTakesAll", {1.0L}, 77, {77}}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST(GridArithmetic, AvailableWidthSetsGridLinesAsideAndNeverGoesBelowForty)
{
    EXPECT_EQ(AvailableWidth(296, 1, 3), 293);
    EXPECT_EQ(AvailableWidth(293, 0, 3), 293);
    EXPECT_EQ(AvailableWidth(42, 1, 3), MinAvailableWidth);
    EXPECT_EQ(AvailableWidth(0, 0, 3), MinAvailableWidth);
    EXPECT_EQ(AvailableWidth(-10, 0, 3), MinAvailableWidth);
}

TEST(GridArithmetic, ProportionsAtOrBelowTheThresholdKeepTheOldValue)
{
    Props p{0.1L, 0.7L, 0.2L, 0.3L};
    MergeProportions(Props{0.0001L, 0.00011L, 0.0L, -1.0L}, p);
    EXPECT_EQ(p, (Props{0.1L, 0.00011L, 0.2L, 0.3L}));
}

TEST(GridArithmetic, NormalizingScalesToOneAndTreatsAZeroSumAsOne)
{
    Props p{1, 3};
    NormalizeProportions(p);
    EXPECT_EQ(p, (Props{0.25L, 0.75L}));
    Props zero{0, 0, 0};
    NormalizeProportions(zero);
    EXPECT_EQ(zero, (Props{0, 0, 0}));
}

TEST(GridArithmetic, CaptureTakesEachWidthsShareAndKeepsTheOldProportionsForAZeroSum)
{
    Props p{0.5L, 0.5L, 0};
    EXPECT_TRUE(CaptureProportions(std::vector<int>{10, 30, 60}, p));
    EXPECT_EQ(p, (Props{0.1L, 0.3L, 0.6L}));
    EXPECT_FALSE(CaptureProportions(std::vector<int>{0, 0, 0}, p));
    EXPECT_EQ(p, (Props{0.1L, 0.3L, 0.6L}));
}

struct NeighbourCase {
    const char* Name;
    int Width, Next, Value;
    int NewWidth, NewNext;
};

class NeighbourRuleTest : public ::testing::TestWithParam<NeighbourCase> {};

TEST_P(NeighbourRuleTest, TheRightNeighbourAbsorbsTheChange)
{
    const NeighbourCase& c = GetParam();
    TNeighbourWidths w = NeighbourWidths(c.Width, c.Next, c.Value);
    EXPECT_EQ(w.Width, c.NewWidth);
    EXPECT_EQ(w.Next, c.NewNext);
    EXPECT_EQ(w.Width + w.Next, c.Width + c.Next);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    BlockGrid, NeighbourRuleTest,
    ::testing::Values(NeighbourCase{"Wider", 50, 30, 60, 60, 20}, NeighbourCase{"Narrower", 50, 30, 10, 10, 70},
                      NeighbourCase{"StopsAtATwoPixelNeighbour", 50, 30, 200, 78, 2},
                      NeighbourCase{"ExactlyTwoPixelsLeft", 50, 30, 78, 78, 2},
                      NeighbourCase{"NoWidthBelowZero", 50, 30, -5, 0, 80}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

// ---- the widget ----

class GridTest : public ::testing::Test {
protected:
    void SetUp() override { grid.SetColCount(3); }

    // Shows the grid with this client width (its first resize lays it out).
    void Show(int clientWidth)
    {
        grid.resize(clientWidth + 2 * grid.frameWidth(), 200);
        grid.show();
        ASSERT_TRUE(grid.LaidOut);
        ASSERT_EQ(grid.ClientWidth(), clientWidth);
    }
    void ResizeClient(int clientWidth) { grid.resize(clientWidth + 2 * grid.frameWidth(), grid.height()); }

    std::vector<int> Widths() const
    {
        std::vector<int> w;
        for (int i = 0; i < grid.ColCount(); ++i) w.push_back(grid.ColWidth(i));
        return w;
    }
    void SetBlockProportions() { grid.SetColProportions(Props{0.1L, 0.7L, 0.2L}); }

    TTableGrid grid;
};

TEST_F(GridTest, StartsAsAStringGridWithOneHeaderRow)
{
    TTableGrid fresh;
    EXPECT_EQ(fresh.RowCount(), 2);
    EXPECT_EQ(fresh.ColCount(), 4);
    EXPECT_FALSE(fresh.LaidOut);
    EXPECT_FALSE(fresh.UpdatingWidths);
    EXPECT_EQ(Sum(fresh.Proportions), 0);
    EXPECT_EQ(fresh.verticalHeader()->defaultSectionSize(), GridRowHeight);
    EXPECT_EQ(fresh.rowHeight(0), GridRowHeight);
    EXPECT_TRUE(fresh.horizontalHeader()->isVisibleTo(&fresh));
    EXPECT_FALSE(fresh.verticalHeader()->isVisibleTo(&fresh));
    EXPECT_EQ(fresh.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_TRUE(fresh.showGrid());
    EXPECT_EQ(fresh.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(fresh.selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_EQ(fresh.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(fresh.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    fresh.SetRowSelect(true);
    EXPECT_EQ(fresh.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(GridTest, ProportionsSetBeforeTheFirstResizeTakeEffectThere)
{
    SetBlockProportions();
    EXPECT_EQ(Widths(), (std::vector<int>{64, 64, 64}));
    Show(293);
    EXPECT_EQ(Widths(), (std::vector<int>{29, 205, 59}));
}

TEST_F(GridTest, ProportionsSetOnceLaidOutApplyAtOnceAndSmallValuesKeepTheOldOnes)
{
    SetBlockProportions();
    Show(293);
    grid.SetColProportions(Props{0.0001L, 0.5L, 0.0L});
    // 0.1 : 0.5 : 0.2 normalised is 0.125, 0.625, 0.25.
    EXPECT_EQ(Widths(), (std::vector<int>{37, 183, 73}));
    EXPECT_DOUBLE_EQ(static_cast<double>(Sum(std::span(grid.Proportions).first(3))), 1.0);
}

TEST_F(GridTest, NoProportionsAtAllGiveEverythingToTheLastColumn)
{
    grid.SetColProportions(Props{0, 0, 0});
    Show(150);
    EXPECT_EQ(Widths(), (std::vector<int>{0, 0, 150}));
}

TEST_F(GridTest, ANarrowGridSpreadsFortyPixels)
{
    SetBlockProportions();
    Show(293);
    ResizeClient(20);
    EXPECT_EQ(Widths(), (std::vector<int>{4, 28, 8}));
}

TEST_F(GridTest, SettingAWidthTakesItFromTheRightNeighbourAndRemembersTheRatio)
{
    SetBlockProportions();
    Show(293);
    grid.SetColWidth(0, 49);
    EXPECT_EQ(Widths(), (std::vector<int>{49, 185, 59}));
    EXPECT_DOUBLE_EQ(static_cast<double>(grid.Proportions[0]), 49.0 / 293);
    grid.SetColWidth(1, 1000);
    EXPECT_EQ(Widths(), (std::vector<int>{49, 242, 2}));
}

TEST_F(GridTest, TheLastColumnCannotBeSet)
{
    SetBlockProportions();
    Show(293);
    grid.SetColWidth(2, 100);
    EXPECT_EQ(Widths(), (std::vector<int>{29, 205, 59}));
}

TEST_F(GridTest, AUsersDragFollowsTheNeighbourRule)
{
    SetBlockProportions();
    Show(293);
    // What the header does while the user drags the border of a column.
    grid.horizontalHeader()->resizeSection(0, 400);
    EXPECT_EQ(Widths(), (std::vector<int>{232, 2, 59}));
    grid.horizontalHeader()->resizeSection(2, 100);
    EXPECT_EQ(Widths(), (std::vector<int>{232, 2, 59}));
    EXPECT_DOUBLE_EQ(static_cast<double>(grid.Proportions[0]), 232.0 / 293);
}

TEST_F(GridTest, AResizeAfterTheUserNarrowedAColumnKeepsTheNewRatio)
{
    SetBlockProportions();
    Show(293);
    grid.horizontalHeader()->resizeSection(0, 15);
    EXPECT_EQ(Widths(), (std::vector<int>{15, 219, 59}));
    ResizeClient(586);
    EXPECT_EQ(Widths(), (std::vector<int>{30, 438, 118}));
    ResizeClient(293);
    EXPECT_EQ(Widths(), (std::vector<int>{15, 219, 59}));
}

TEST_F(GridTest, ColumnsStillFillTheGridWhenTheScrollBarComes)
{
    SetBlockProportions();
    Show(293);
    grid.SetRowCount(40);
    QCoreApplication::processEvents();
    ASSERT_TRUE(grid.verticalScrollBar()->isVisible());
    std::vector<int> w = Widths();
    EXPECT_EQ(std::accumulate(w.begin(), w.end(), 0), grid.ClientWidth());
    EXPECT_LT(grid.ClientWidth(), 293);
}

// ---- rows ----

class GridRowsTest : public GridTest {
protected:
    // Rows 1..n with "a1", "b1", ... in columns 0 and 1 and the row number as column 0's object.
    void Fill(int bodyRows)
    {
        grid.SetRowCount(bodyRows + 1);
        grid.SetRowTexts(0, {"No", "Name", "Size"});
        for (int row = 1; row <= bodyRows; ++row) {
            grid.SetRowTexts(row, {QString("a%1").arg(row), QString("b%1").arg(row)});
            grid.SetObject(0, row, row);
        }
        grid.SetObject(1, 0, 99);
    }
    std::vector<std::string> Column0() const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < grid.RowCount(); ++row) texts.push_back(grid.Cell(0, row).toStdString());
        return texts;
    }
    std::vector<int> Objects0() const
    {
        std::vector<int> objects;
        for (int row = 1; row < grid.RowCount(); ++row)
            objects.push_back(grid.Object(0, row).isValid() ? grid.Object(0, row).toInt() : 0);
        return objects;
    }
};

struct DeleteCase {
    const char* Name;
    int BodyRows;
    int Row;
    std::vector<std::string> Column0;
    std::vector<int> Objects;
};

class DeleteRowTest : public GridRowsTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteRowTest, RemovesOneBodyRow)
{
    const DeleteCase& c = GetParam();
    Fill(c.BodyRows);
    grid.DeleteRow(c.Row);
    EXPECT_EQ(Column0(), c.Column0);
    EXPECT_EQ(Objects0(), c.Objects);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    BlockGrid, DeleteRowTest,
    ::testing::Values(DeleteCase{"HeaderRowStays", 3, 0, {"No", "a1", "a2", "a3"}, {1, 2, 3}},
                      DeleteCase{"NegativeRow", 3, -1, {"No", "a1", "a2", "a3"}, {1, 2, 3}},
                      DeleteCase{"RowPastTheEnd", 3, 4, {"No", "a1", "a2", "a3"}, {1, 2, 3}},
                      DeleteCase{"OnlyBodyRowIsEmptied", 1, 1, {"No", ""}, {0}},
                      DeleteCase{"MiddleRowMovesTheRestUp", 3, 2, {"No", "a1", "a3"}, {1, 3}},
                      DeleteCase{"FirstRow", 3, 1, {"No", "a2", "a3"}, {2, 3}},
                      DeleteCase{"LastRow", 3, 3, {"No", "a1", "a2"}, {1, 2}}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST_F(GridRowsTest, ClearKeepsTheHeaderTextsAndDropsEveryObject)
{
    Fill(3);
    grid.Clear();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cell(1, 0).toStdString(), "Name");
    EXPECT_EQ(grid.Cell(0, 1).toStdString(), "");
    EXPECT_EQ(grid.Cell(1, 1).toStdString(), "");
    EXPECT_FALSE(grid.Object(1, 0).isValid());
    EXPECT_FALSE(grid.Object(0, 1).isValid());
}

TEST_F(GridRowsTest, MoveRowCopiesTextsAndObjectsAndKeepsTheSource)
{
    Fill(3);
    grid.MoveRow(3, 1);
    EXPECT_EQ(Column0(), (std::vector<std::string>{"No", "a3", "a2", "a3"}));
    EXPECT_EQ(grid.Cell(1, 1).toStdString(), "b3");
    EXPECT_EQ(Objects0(), (std::vector<int>{3, 2, 3}));
    grid.MoveRow(1, 7);   // no such row: nothing happens
    EXPECT_EQ(Column0(), (std::vector<std::string>{"No", "a3", "a2", "a3"}));
}
