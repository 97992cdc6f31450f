#include "parser8/fp7_walk_rules.h"

const Fp7WalkRules& Fp7WalkRules::Strict() {
  static const Fp7WalkRules rules;
  return rules;
}

bool Fp7WalkRules::EndsAtRefusedPage(const CFMCEngine&) const {
  return true;
}
