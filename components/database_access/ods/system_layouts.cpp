#include "system_layouts.h"

#include "header_page.h"

namespace ods {

std::vector<SystemConventions> candidateConventions(const Header &header)
{
    if (header.facts.odsMajor >= 12)
        return {SystemConventions{8, false}};
    const bool countLikely = header.facts.odsMajor == 11 && header.odsMinorOriginal < 2;
    std::vector<SystemConventions> candidates;
    for (const unsigned alignment : {8u, 4u}) {
        if (header.facts.odsMajor >= 11 && alignment != 8)
            continue;
        candidates.push_back(SystemConventions{alignment, countLikely});
        candidates.push_back(SystemConventions{alignment, !countLikely});
    }
    return candidates;
}

bool fieldsLayoutIsComplete(const Header &header)
{
    return header.facts.odsMajor < 12;
}

BootstrapLayouts bootstrapLayouts(const Header &header, const SystemConventions &conventions)
{
    const unsigned alignmentCap = conventions.alignment;
    // Names are CHAR(31) bytes up to ODS 12 and CHAR(63) UTF8 (252 bytes) from ODS 13.
    const int nameLength = header.facts.odsMajor >= 13 ? 252 : 31;
    const FieldLayout name{DtText, 0, nameLength, 0, 0};
    const FieldLayout shortField{DtShort, 0, 2, 0, 0};
    const FieldLayout longField{DtLong, 0, 4, 0, 0};
    const FieldLayout blob{DtBlob, 0, 8, 0, 0};
    const FieldLayout editString{DtVarying, 0, conventions.varyingLength(127), 0, 0};

    BootstrapLayouts layouts;
    layouts.pages = layOut({longField, shortField, longField, shortField}, alignmentCap);
    layouts.relations = layOut({blob, blob, blob, shortField, shortField, shortField, shortField, shortField, name},
                               alignmentCap);
    layouts.relationFields =
        layOut({name, name, name, name, name, editString, shortField, blob, shortField, shortField, shortField, blob,
                blob, shortField, name, name, shortField, blob, shortField},
               alignmentCap);
    std::vector<FieldLayout> fields{name, name, blob, blob, blob, blob, blob, blob, shortField, shortField,
                                    shortField, shortField, blob, blob, blob, shortField, blob, shortField,
                                    editString, shortField, shortField, shortField, shortField, shortField,
                                    shortField, shortField, shortField, shortField};
    // InterBase 4 and 5 (ODS 8 and 9) lack RDB$FIELD_PRECISION, the last.
    if (header.facts.odsMajor < 10)
        fields.pop_back();
    layouts.fields = layOut(fields, alignmentCap);
    layouts.formats = layOut({shortField, shortField, blob}, alignmentCap);
    return layouts;
}

} // namespace ods
