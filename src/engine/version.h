// Which of the two formats a damaged file is, decided from its pages alone: the share of pages
// that carry the fp5 block markers against whether any page holds an fp7 table or field catalogue.
#pragma once

#include <cstdint>

#include "engine/file_connector.h"
#include "engine/fp5_engine.h"
#include "engine/fp7_engine.h"

class CVersion {
 public:
  virtual ~CVersion() = default;

  // Tells whether the host asked to stop; the page scans then end where they are.
  using StopCheck = bool (*)();

  // 5, 7, or 0 when neither format wins (both scores equal, both 0 included) or `stopRequested`
  // ended the scans. Logs both scores.
  int32_t DetermineVersion(CFileConnector* source, StopCheck stopRequested = nullptr);
  // Percentage (0 to 100) of the pages behind the file's start that look like fp5 pages.
  uint32_t TestFp5();
  // 100 when some page holds an fp7 table or field catalogue, else 0.
  uint32_t TestFp7();

 private:
  bool Stopped() const { return stopRequested_ != nullptr && stopRequested_(); }

  CFileConnector* source_ = nullptr;
  StopCheck stopRequested_ = nullptr;
  CFM5 fp5_;
  CFMEngine fp7_;
};
