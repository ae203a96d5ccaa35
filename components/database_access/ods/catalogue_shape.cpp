#include "catalogue_reader.h"

#include "field_reader.h"

namespace ods {

void CatalogueReader::chooseShape()
{
    const Header &header = m_header;
    for (const SystemCatalogueLayout *catalogue : header.version->catalogues())
        for (const SystemConventions &conventions : candidateConventions(header)) {
            BootstrapLayouts layouts = bootstrapLayouts(*catalogue, conventions);
            if (fits(*catalogue, layouts)) {
                m_shape = catalogue;
                m_conventions = conventions;
                m_layouts = std::move(layouts);
                return;
            }
        }
    damaged(QStringLiteral("the system tables that list its tables (on-disk structure %1.%2) cannot be read")
                .arg(header.facts.odsMajor)
                .arg(header.facts.odsMinor));
}

bool CatalogueReader::fits(const SystemCatalogueLayout &catalogue, const BootstrapLayouts &layouts)
{
    // RDB$PAGES is the first relation of every file: the right layout finds
    // its name in RDB$RELATIONS.
    const SystemLayout &relations = layouts.relations;
    bool named = false;
    forEachRecord(RdbRelations, relations.format, [&](const FieldReader &record) {
        if (record.number(relations["RDB$RELATION_ID"], -1) == RdbPages &&
            record.name(relations["RDB$RELATION_NAME"]) == QLatin1String("RDB$PAGES"))
            named = true;
    });
    if (!named)
        return false;
    // Where the list of RDB$FIELDS is complete, its records of format 0 are
    // as long as its layout. Measured with no layout, so that no record is
    // passed over; most must fit, a damaged one may not.
    int fitting = 0;
    int records = 0;
    if (catalogue.fieldsComplete)
        forEachRecord(RdbFields, RecordFormat{}, [&](const FieldReader &record) {
            if (record.formatNumber() != 0)
                return;
            ++records;
            fitting += record.length() == layouts.fields.format.length;
        });
    return (records == 0 || fitting * 2 > records) && storedFormatsAgree(catalogue, layouts);
}

// The formats RDB$FORMATS keeps of the system tables read here decode in the
// shape's own descriptor layout and give every field the shape lists its
// type and length; most must, a damaged one may not. Where they place the
// fields is their own: a format written later may have been laid out by an
// engine that aligns otherwise (InterBase XE7's own format of RDB$FIELDS
// starts its fields 4 bytes later), and its records are read in it. Fields
// a format adds change nothing read here.
bool CatalogueReader::storedFormatsAgree(const SystemCatalogueLayout &catalogue,
                                         const BootstrapLayouts &layouts) const
{
    const auto builtIn = [&](int relationId) -> const RecordFormat * {
        switch (relationId) {
        case RdbPages: return &layouts.pages.format;
        case RdbFields: return &layouts.fields.format;
        case RdbRelationFields: return &layouts.relationFields.format;
        case RdbRelations: return &layouts.relations.format;
        case RdbFormats: return &layouts.formats.format;
        default: return nullptr;
        }
    };
    const auto agrees = [&](const RecordFormat &built, const QByteArray &descriptor) {
        RecordFormat stored;
        try {
            stored = parseFormatDescriptor(descriptor, catalogue, m_header.version->interbaseTypes);
        } catch (const components::ComponentError &) {
            return false;
        }
        for (size_t id = 0; id < built.fields.size() && id < stored.fields.size(); ++id) {
            const FieldLayout &expected = built.fields[id];
            if (stored.fields[id].dtype != expected.dtype || stored.fields[id].length != expected.length)
                return false;
        }
        return true;
    };
    int agreeing = 0;
    int compared = 0;
    for (const StoredDescriptor &descriptor : m_descriptors) {
        const RecordFormat *built = builtIn(descriptor.relationId);
        if (!built || !descriptor.readable)
            continue;
        ++compared;
        agreeing += agrees(*built, descriptor.content);
    }
    return agreeing * 2 >= compared;
}

} // namespace ods
