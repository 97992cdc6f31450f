#include "engine/fp7_decode_rules.h"

namespace {

Fp7StopVerdict StrictStop(Fp7Undecodable what, size_t chunksListed) {
  return {true, what == Fp7Undecodable::kUnknownOpcode && chunksListed > 0};
}

}  // namespace

const Fp7DecodeRules& Fp7DecodeRules::Strict() {
  static const Fp7DecodeRules rules{&kFp7StrictOpcodes, &StrictStop, &kFp7OemTextMap};
  return rules;
}
