#include "ods_version.h"

#include "system_layouts.h"

#include <algorithm>
#include <array>
#include <limits>

namespace ods {

namespace {

using disk::HeaderPageCommon;

constexpr OdsVersion firebird12{.family = Family::Firebird,
                                .majorFrom = 12,
                                .majorTo = 12,
                                .header = &disk::headerFirebird12,
                                .catalogue = &firebirdCatalogue12,
                                .pointerSlotBits = 40,
                                .pointerSlotsInEights = true,
                                .longTransactions = true,
                                .pagesMayBeEncrypted = true,
                                .indexNodes = IndexNodes::Compressed12};

constexpr OdsVersion firebird13 = [] {
    OdsVersion version = firebird12;
    version.majorFrom = version.majorTo = 13;
    version.header = &disk::headerFirebird13;
    version.catalogue = &firebirdCatalogue13;
    version.longRunsFromMinor = 1;
    return version;
}();

constexpr OdsVersion interbase13{.family = Family::InterBase,
                                 .majorFrom = 13,
                                 .majorTo = 13,
                                 .header = &disk::headerInterBase13,
                                 .catalogue = &interbaseCatalogue13,
                                 .recordSlotBytes = 39,
                                 .interbaseTypes = true};

// InterBase 2007: InterBase 2009's catalogue on InterBase 6's pages.
constexpr OdsVersion interbase12 = [] {
    OdsVersion version = interbase13;
    version.majorFrom = version.majorTo = 12;
    version.catalogue = &interbaseCatalogue12;
    version.recordSlotBytes = OdsVersion{}.recordSlotBytes;
    return version;
}();

// InterBase 7.0 to 7.5 lie between InterBase 6 and 2007, whose pages are
// alike: theirs are taken to be the same. No file of theirs was at hand to
// measure its catalogue, which may have either neighbour's shape.
constexpr const SystemCatalogueLayout *interbase11Catalogues[] = {&interbaseCatalogue12, &firebirdCatalogue10};
constexpr OdsVersion interbase11 = [] {
    OdsVersion version = interbase12;
    version.majorFrom = version.majorTo = 11;
    version.catalogue = nullptr;
    version.possibleCatalogues = interbase11Catalogues;
    return version;
}();

constexpr OdsVersion interbase(int majorFrom, int minorFrom, int majorTo, const disk::HeaderPageLayout &header,
                               const SystemCatalogueLayout &catalogue)
{
    OdsVersion version = interbase13;
    version.majorFrom = majorFrom;
    version.minorFrom = minorFrom;
    version.majorTo = majorTo;
    version.header = &header;
    version.catalogue = &catalogue;
    version.pointerSlotBits = 36;
    version.blobsApart = true;
    return version;
}

// Firebird's ODS 10 is also InterBase 6's: both are read as one, and
// InterBase 4 and 5 (ODS 8, 9) as ODS 10 with one field fewer in
// RDB$FIELDS. Later entries win over earlier ones that cover the same
// version.
constexpr std::array versions{
    OdsVersion{.family = Family::Firebird,
               .majorFrom = 8,
               .majorTo = 9,
               .header = &disk::headerOds10,
               .catalogue = &interbaseCatalogue8},
    OdsVersion{.family = Family::Firebird,
               .majorFrom = 10,
               .majorTo = 11,
               .header = &disk::headerOds10,
               .catalogue = &firebirdCatalogue10,
               .indexNodes = IndexNodes::FlaggedUpTo11},
    firebird12,
    firebird13,
    interbase11,
    interbase12,
    interbase13,
    interbase(15, 0, 15, disk::headerInterBase13, interbaseCatalogue15),
    interbase(16, 0, 16, disk::headerInterBase16, interbaseCatalogue15),
    // ODS 17 (InterBase 2017): no file was at hand; every fact measured
    // agrees between 16.1 and 18, so it is read as they are.
    interbase(16, 1, 17, disk::headerInterBase16, interbaseCatalogue16),
    interbase(18, 0, 19, disk::headerInterBase16, interbaseCatalogue18),
};

int majorOf(uint16_t odsWord)
{
    return odsWord & ~HeaderPageCommon::firebirdFlag;
}

// Files up to ODS 10 carry no flag, whoever made them, and are laid out
// alike; Firebird's flag came with ODS 11.
Family familyOf(uint16_t odsWord)
{
    return (odsWord & HeaderPageCommon::firebirdFlag) || majorOf(odsWord) <= 10 ? Family::Firebird
                                                                                : Family::InterBase;
}

} // namespace

const disk::HeaderPageLayout &headerLayoutOf(uint16_t odsWord)
{
    const int major = majorOf(odsWord);
    const Family family = familyOf(odsWord);
    const OdsVersion *nearest = &versions.front();
    int nearestDistance = std::numeric_limits<int>::max();
    for (const OdsVersion &version : versions) {
        if (version.family != family)
            continue;
        const int distance = std::max({version.majorFrom - major, major - version.majorTo, 0});
        if (distance <= nearestDistance) {
            nearest = &version;
            nearestDistance = distance;
        }
    }
    return *nearest->header;
}

const OdsVersion *odsVersionOf(uint16_t odsWord, int minor)
{
    const int major = majorOf(odsWord);
    const Family family = familyOf(odsWord);
    const OdsVersion *found = nullptr;
    for (const OdsVersion &version : versions)
        if (version.family == family && major >= version.majorFrom && major <= version.majorTo &&
            (major > version.majorFrom || minor >= version.minorFrom))
            found = &version;
    return found;
}

} // namespace ods
