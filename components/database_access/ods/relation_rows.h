#pragma once

// The rows of one relation as Rows hands them out: the newest committed
// version of each record, brought to the relation's current format.

#include "ods_file.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace ods {

class RelationRows : public Rows {
public:
    RelationRows(std::shared_ptr<const OdsFile> file, const StoredRelation &relation);

    bool next() override;
    bool isNull(int column) const override { return m_nulls[size_t(column)] != 0; }
    QByteArrayView value(int column) const override { return m_values[size_t(column)]; }
    ReadLosses losses() const override { return m_cursor.losses(); }
    // The data page the current record's primary version lies on.
    uint32_t page() const { return m_slot.page.number(); }

private:
    struct Plan {
        int fieldId = 0;
        FieldLayout current;   // dtype 0: never has a value (computed, or not stored)
    };

    void decode();
    [[noreturn]] void cannotConvert(size_t column) const;
    // A field records of `format` lack: the default a newer format gives it.
    const FieldDefault *defaultFor(int recordFormat, int fieldId) const;

    std::shared_ptr<const OdsFile> m_file;
    const StoredRelation &m_relation;
    RelationPages m_pages;
    RelationPages::Cursor m_cursor;
    RecordSlot m_slot;
    RecordImage m_image;
    const RecordFormat *m_current = nullptr;
    std::vector<Plan> m_plan;
    std::vector<char> m_nulls;
    std::vector<QByteArrayView> m_values;
    std::vector<QByteArray> m_converted;
};

// The number of records RelationRows would yield, each read as it would
// read them: a record of a damaged file counts only when it can be read.
long long countRows(const std::shared_ptr<const OdsFile> &file, const StoredRelation &relation);

} // namespace ods
