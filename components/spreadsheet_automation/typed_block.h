#pragma once

#include "cell_block_buffer.h"

#include <QString>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Sequence.hxx>
#include <vector>

namespace calc {

class NumberFormatKeys;

// Rows of one column, from 0, that take one number format.
struct FormatRun {
    int column = 0;
    int firstRow = 0;
    int lastRow = 0;
    bool boolean = false;
    QString format;
};

// A block as Calc takes it: the bulk call's values (texts as strings,
// numbers, dates, times and booleans as doubles) and the number formats of
// the cells that are not text, as runs of equal formats down each column.
struct TypedBlock {
    int firstRow = 0;
    int firstColumn = 0;
    css::uno::Sequence<css::uno::Sequence<css::uno::Any>> values;
    std::vector<FormatRun> formats;
};

// Made by the caller, while the office still takes in the block before:
// made on the sending thread it would keep the office waiting for every
// block.
TypedBlock typedBlock(const CellBlock &block);

// The values, then the formats: one call for all the cells of each format,
// so that a table of 2,000 columns costs no more calls than one of ten.
// Format keys are looked up (and made) on first use; document is the
// sheet's own.
void writeTypedBlock(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, const TypedBlock &block,
                     NumberFormatKeys &keys, const css::uno::Reference<css::lang::XMultiServiceFactory> &document);

} // namespace calc
