#include "deep/fp5_columns.h"

#include <algorithm>
#include <set>
#include <string>

#include "deep/fp5_text.h"
#include "platform/text.h"

namespace deep {

using namespace fp5_places;

namespace {

ColumnKind KindOf(uint8_t type) {
  switch (type) {
    case kNumber:
      return ColumnKind::kNumber;
    case kDate:
      return ColumnKind::kDate;
    case kTime:
      return ColumnKind::kTime;
    case kContainer:
      return ColumnKind::kContainer;
    default:
      return ColumnKind::kText;
  }
}

}  // namespace

std::vector<Fp5Column> Fp5Columns(const Fp5Catalogue& catalogue) {
  const std::map<uint32_t, Fp5Field>& fields = catalogue.Fields();
  const std::map<uint32_t, uint32_t>& inRecords = catalogue.FieldsInRecords();
  std::set<uint32_t> wanted;
  for (const auto& [id, field] : fields) {
    if (field.Defined() && field.HoldsRecordData()) wanted.insert(id);
  }
  for (const auto& [id, repetitions] : inRecords) wanted.insert(id);

  std::vector<uint32_t> order;
  for (const auto& [position, id] : catalogue.Order()) {
    if (wanted.erase(id) != 0) order.push_back(id);
  }
  order.insert(order.end(), wanted.begin(), wanted.end());

  std::vector<Fp5Column> columns;
  for (const uint32_t id : order) {
    const auto field = fields.find(id);
    const bool defined = field != fields.end() && field->second.Defined();
    std::u16string name = defined ? DecodeMacRoman(field->second.storedName) : u"";
    if (name.empty()) name = u"Field_" + ToWide(std::to_string(id));
    const ColumnKind kind = defined ? KindOf(field->second.Type()) : ColumnKind::kText;
    columns.push_back({Fp5Slot{id, 1}, TableColumn{name, kind}});
    // As far as records fill them, and never beyond what a surviving definition allows.
    const auto used = inRecords.find(id);
    uint32_t repetitions = used != inRecords.end() ? used->second : 1;
    if (defined && field->second.flags) {
      repetitions = std::min<uint32_t>(repetitions, (*field->second.flags)[kRepetitionsAt]);
    }
    for (uint32_t repetition = 2; repetition <= repetitions; ++repetition) {
      columns.push_back({Fp5Slot{id, repetition},
                         TableColumn{name + u"_" + ToWide(std::to_string(repetition)), kind}});
    }
  }
  return columns;
}

}  // namespace deep
