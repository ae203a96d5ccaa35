// How written cells are grouped into the bulk calls Calc receives.

#include "cell_block_buffer.h"

#include <gtest/gtest.h>

using calc::CellBlock;
using calc::CellBlockBuffer;

namespace {

struct Recorder {
    std::vector<CellBlock> blocks;
    CellBlockBuffer buffer;

    explicit Recorder(std::size_t budget, std::size_t firstBlockCells = 0)
        : buffer(budget, [this](CellBlock &&block) { blocks.push_back(std::move(block)); }, firstBlockCells) {}

    std::vector<std::size_t> blockRows() const
    {
        std::vector<std::size_t> rows;
        for (const CellBlock &block : blocks)
            rows.push_back(block.rows.size());
        return rows;
    }

    void writeTable(int firstRow, int rows, int columns)
    {
        for (int r = firstRow; r < firstRow + rows; ++r)
            for (int c = 1; c <= columns; ++c)
                buffer.write(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
    }
};

std::vector<std::vector<QString>> texts(std::initializer_list<std::vector<QString>> rows)
{
    return rows;
}

std::vector<std::vector<QString>> textsOf(const CellBlock &block)
{
    std::vector<std::vector<QString>> rows;
    for (const auto &row : block.rows) {
        rows.emplace_back();
        for (const excel::Cell &cell : row)
            rows.back().push_back(cell.text);
    }
    return rows;
}

TEST(CellBlockBuffer, ATableWrittenRowByRowBecomesOneRectanglePerBlockOfRows)
{
    Recorder recorder(100);
    recorder.writeTable(1, 45, 10);
    recorder.buffer.flush();

    ASSERT_EQ(recorder.blocks.size(), 5u);
    int nextRow = 1;
    for (const CellBlock &block : recorder.blocks) {
        EXPECT_EQ(block.firstRow, nextRow);
        EXPECT_EQ(block.firstColumn, 1);
        for (const auto &row : block.rows)
            EXPECT_EQ(row.size(), 10u);
        nextRow += int(block.rows.size());
    }
    EXPECT_EQ(nextRow, 46);
    EXPECT_EQ(recorder.blocks[0].rows.size(), 10u) << "blocks end on a row boundary once the budget is spent";
    EXPECT_EQ(recorder.blocks[4].rows.back().back().text, "45,10");
}

TEST(CellBlockBuffer, BlocksStartSmallAfterEachFlushAndDoubleUpToTheBudget)
{
    Recorder recorder(80, 10);
    recorder.writeTable(1, 30, 10);
    recorder.buffer.flush();
    recorder.writeTable(31, 5, 10);
    recorder.buffer.flush();

    EXPECT_EQ(recorder.blockRows(), (std::vector<std::size_t>{1, 2, 4, 8, 8, 7, 1, 2, 2}));
    EXPECT_EQ(recorder.blocks.back().rows.back().back().text, "35,10");
}

TEST(CellBlockBuffer, HeldCellsStayWithinTheBudgetPlusOneRow)
{
    std::size_t largest = 0;
    CellBlockBuffer buffer(1000, [&](CellBlock &&block) {
        largest = std::max(largest, block.rows.size() * block.rows.front().size());
    });
    for (int r = 1; r <= 200; ++r)
        for (int c = 1; c <= 333; ++c)
            buffer.write(r, c, "x");
    EXPECT_LE(largest, 1000u + 333u);

    largest = 0;
    // Column by column, the worst order for rows.
    for (int c = 1; c <= 50; ++c)
        for (int r = 1; r <= 200; ++r)
            buffer.write(r, c, "y");
    buffer.flush();
    EXPECT_LE(largest, 2 * 1000u + 200u);
}

TEST(CellBlockBuffer, RowsOfDifferentShapeOrWithGapsAreSentSeparatelyNeverPadded)
{
    Recorder recorder(1000);
    recorder.buffer.write(1, 1, "a");
    recorder.buffer.write(1, 2, "b");
    recorder.buffer.write(2, 1, "c");
    recorder.buffer.write(4, 1, "d");
    recorder.buffer.write(4, 2, "e");
    recorder.buffer.flush();

    ASSERT_EQ(recorder.blocks.size(), 3u);
    EXPECT_EQ(textsOf(recorder.blocks[0]), texts({{"a", "b"}}));
    EXPECT_EQ(recorder.blocks[1].firstRow, 2);
    EXPECT_EQ(textsOf(recorder.blocks[1]), texts({{"c"}}));
    EXPECT_EQ(recorder.blocks[2].firstRow, 4);
    EXPECT_EQ(textsOf(recorder.blocks[2]), texts({{"d", "e"}}));
}

TEST(CellBlockBuffer, AGapInARowSendsWhatCameBeforeSoNothingUnwrittenIsOverwritten)
{
    Recorder recorder(1000);
    recorder.buffer.write(3, 2, "b");
    recorder.buffer.write(3, 5, "e");
    recorder.buffer.write(3, 1, "a");
    recorder.buffer.flush();

    ASSERT_EQ(recorder.blocks.size(), 3u);
    EXPECT_EQ(recorder.blocks[0].firstColumn, 2);
    EXPECT_EQ(textsOf(recorder.blocks[0]), texts({{"b"}}));
    EXPECT_EQ(recorder.blocks[1].firstColumn, 5);
    EXPECT_EQ(recorder.blocks[2].firstColumn, 1);
    EXPECT_EQ(textsOf(recorder.blocks[2]), texts({{"a"}}));
}

TEST(CellBlockBuffer, RewritingAHeldCellKeepsTheLastText)
{
    Recorder recorder(1000);
    recorder.writeTable(1, 2, 3);
    recorder.buffer.write(1, 2, "new");
    recorder.buffer.flush();

    ASSERT_EQ(recorder.blocks.size(), 1u);
    EXPECT_EQ(textsOf(recorder.blocks[0])[0], std::vector<QString>({"1,1", "new", "1,3"}));
}

TEST(CellBlockBuffer, CellsTheSinkFailedOnAreNotSentAgain)
{
    int calls = 0;
    CellBlockBuffer buffer(1000, [&](CellBlock &&) {
        ++calls;
        throw std::runtime_error("office gone");
    });
    buffer.write(1, 1, "x");
    EXPECT_THROW(buffer.flush(), std::runtime_error);
    EXPECT_TRUE(buffer.isEmpty());
    buffer.flush();
    EXPECT_EQ(calls, 1);
}

} // namespace
