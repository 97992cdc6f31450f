// The columns the one table of an fp5 file is written with, in order: the fields in the order the
// file lists them (3/3), then the other fields by ascending id. A field becomes a column when it
// is defined and its values are kept in records (not a global, not unstored), or when a record
// holds a value for it anyway; a field that records use but no surviving definition names is
// "Field_<id>", text. Repetitions beyond the first become columns "<name>_2", "<name>_3", ...
// right after the field's own, as far as records hold them (a field defined with repetitions that
// no record fills adds no empty columns) and its definition allows (values of repetitions beyond
// that are not written).
#pragma once

#include <vector>

#include "deep/fp5_catalogue.h"
#include "deep/fp5_record_keys.h"
#include "deep/table_writer.h"

namespace deep {

struct Fp5Column {
  Fp5Slot slot;
  TableColumn column;
};

std::vector<Fp5Column> Fp5Columns(const Fp5Catalogue& catalogue);

}  // namespace deep
