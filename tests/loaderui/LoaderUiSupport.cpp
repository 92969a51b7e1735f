#include "tests/loaderui/LoaderUiSupport.h"

#include "loader/BlockStore.h"
#include "loaderui/TableGrid.h"
#include "serial/Serial.h"


#include <algorithm>
#include <cstdio>

ScriptedBoxes::ScriptedBoxes()
{
    previous_ = SetMessageHandler(
        [this](QWidget* owner, const std::string& caption, const std::string& text, TBoxKind kind) {
        Owners.push_back(owner);
        return AnswerFromScript(Boxes, Answers, caption, text, kind);
    });
}

ScriptedBoxes::~ScriptedBoxes() { SetMessageHandler(previous_); }

std::string Text(const QString& s) { return s.toStdString(); }

void LoaderWindowTest::SetUp()
{
    link.SeedRandom(11);
    StartBoard();
    if (HasFatalFailure()) return;
    link.SetPortName(sim->SlavePath());
    link.OpenLoaderPort(portUser);
    ASSERT_FALSE(link.LastFailure()) << PortErrorDetails(link.PortName(), link.LastFailure());
    ASSERT_TRUE(BuildBlockImage(*fonts, *image));
}

void LoaderWindowTest::TearDown()
{
    form.reset();
    link.CloseLoaderPort();
}

void LoaderWindowTest::PrepareStore(std::initializer_list<int32_t> blocksWithData)
{
    ASSERT_TRUE(link.ConnectLoader(ConnectAttempts));
    ASSERT_TRUE(FormatLoader(link));
    TMaybeProblem status;
    LoaderDirectory directory;
    ASSERT_TRUE(ReadDirectory(link, status, &directory));
    ASSERT_FALSE(status) << ReasonOf(status);
    for (int32_t index : blocksWithData) {
        TBlockImage stored = *image;
        SetImageName(stored, "Блок " + std::to_string(index + 1));
        ASSERT_TRUE(WriteBlock(link, stored, index, directory));
    }
    sim->ClearWireLog();
}

TLoaderWindow& LoaderWindowTest::Open()
{
    form = std::make_unique<TLoaderWindow>(link, *image);
    form->show();
    return *form;
}

std::vector<std::string> LoaderWindowTest::Row(int row) const
{
    std::vector<std::string> cells;
    for (int col = 0; col < form->BlockGrid->ColCount(); ++col) cells.push_back(Text(form->BlockGrid->Cell(col, row)));
    return cells;
}

std::vector<std::vector<std::string>> LoaderWindowTest::Rows() const
{
    std::vector<std::vector<std::string>> rows;
    for (int row = 1; row < form->BlockGrid->RowCount(); ++row) rows.push_back(Row(row));
    return rows;
}

std::vector<WireRecord> LoaderWindowTest::Requests() const
{
    std::vector<WireRecord> out;
    for (const WireRecord& r : sim->WireLog())
        if (r.FromProgram && !r.Raw && r.Valid) out.push_back(r);
    return out;
}

BlockHeader LoaderWindowTest::StoredHeader(int32_t index) const
{
    BlockHeader header;
    std::vector<uint8_t> bytes = sim->Flash(BlockAreaStart + static_cast<uint32_t>(index) * BlockAreaSize,
                                            BlockHeaderSize);
    std::copy(bytes.begin(), bytes.end(), header.Bytes.begin());
    return header;
}
