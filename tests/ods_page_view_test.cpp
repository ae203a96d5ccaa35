// Every read of a page is bounded by the part of the page it is read from: a
// field outside it is damage of that page, which names the page and can be
// caught page by page, never a read of the bytes beyond.

#include "page_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace ods::disk;

TEST(PageView, AFieldOutsideItsPartIsDamageOfThatPage)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>(1024, uint8_t(0));
    (*bytes)[0] = ods::DataPage;
    const ods::PageView page(bytes, 7);
    const ods::PageSpan record = page.part(100, RecordHeader::size);
    const struct {
        const char *what;
        std::function<void()> read;
        const char *refusal;   // null: read
    } cases[] = {
        {"the page's last field", [&] { page[Field32{1020}]; }, nullptr},
        {"a field across the page's end", [&] { page[Field32{1021}]; },
         "data page 7 refers to bytes 1021 to 1024 of itself, outside bytes 0 to 1023"},
        {"a part that fills the page", [&] { page.part(DataPage::lines.offset, 1000); }, nullptr},
        {"a part one byte too long", [&] { page.part(DataPage::lines.offset, 1001); }, "bytes 24 to 1024"},
        {"a record's last field", [&] { record[RecordHeader::format]; }, nullptr},
        {"a long header's field in a short record", [&] { record[RecordHeader::transactionHigh]; },
         "bytes 114 to 115 of itself, outside bytes 100 to 112"},
        {"the rest of a record after its end", [&] { record.from(RecordHeader::size + 1); }, "outside bytes 100 to 112"},
        {"an offset that wraps round", [&] { page.part(std::numeric_limits<size_t>::max(), 2); }, "outside"},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.what);
        try {
            each.read();
            EXPECT_EQ(each.refusal, nullptr);
        } catch (const ods::PageDamage &damage) {
            ASSERT_NE(each.refusal, nullptr) << damage.description().toStdString();
            EXPECT_EQ(damage.page(), 7u);
            EXPECT_TRUE(damage.description().startsWith(QLatin1String("The database file is damaged: data page 7")));
            EXPECT_TRUE(damage.description().contains(QLatin1String(each.refusal)))
                << damage.description().toStdString();
        }
    }
}

} // namespace
