#include "page_view.h"

namespace ods {

QString pageKind(PageType type)
{
    switch (type) {
    case HeaderPage: return QStringLiteral("header page");
    case InventoryPage: return QStringLiteral("page inventory page");
    case TransactionPage: return QStringLiteral("transaction inventory page");
    case PointerPage: return QStringLiteral("pointer page");
    case DataPage: return QStringLiteral("data page");
    case IndexPage: return QStringLiteral("index page");
    case BlobPage: return QStringLiteral("BLOB page");
    case BlobPointerPage: return QStringLiteral("BLOB pointer page");
    case BlobDataPage: return QStringLiteral("BLOB data page");
    case TailPointerPage: return QStringLiteral("pointer page");
    }
    return QStringLiteral("page of type %1").arg(int(type));
}

void PageSpan::outside(size_t offset, size_t length) const
{
    const size_t first = m_start + offset;
    damagedPage(m_page, QStringLiteral("%1 %2 refers to bytes %3 to %4 of itself, outside bytes %5 to %6 where they "
                                       "belong")
                            .arg(pageKind(m_type))
                            .arg(m_page)
                            .arg(first)
                            .arg(first + length - 1)
                            .arg(m_start)
                            .arg(m_start + m_size - 1));
}

} // namespace ods
