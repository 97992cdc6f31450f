#include "engine/version.h"

#include "diag/log.h"

int32_t CVersion::DetermineVersion(CFileConnector* source, StopCheck stopRequested) {
  g_Log.LogLine("--------DETERMINATION OF VERSION--------");
  source_ = source;
  stopRequested_ = stopRequested;
  const uint32_t fp5Score = TestFp5();
  const uint32_t fp7Score = TestFp7();
  g_Log.LogFormat("TEST VERS: fp5 pages = %i %c", static_cast<int>(fp5Score), '%');
  g_Log.LogFormat("TEST VERS: fp7 pages = %i %c", static_cast<int>(fp7Score), '%');
  g_Log.LogLine("========================================");
  if (Stopped()) return 0;
  if (fp5Score > fp7Score) return 5;
  if (fp5Score < fp7Score) return 7;
  return 0;
}

uint32_t CVersion::TestFp5() {
  if (!fp5_.Connect(source_)) return 0;
  g_Log.LogFormat("SetParsedPage: %i", static_cast<int>(CFM5::kFirstPage));
  fp5_.m_nCurrentPage = CFM5::kFirstPage;
  uint64_t fp5Pages = 0;
  while (!fp5_.IsEndOfFile() && !Stopped()) {
    // An unreadable page leaves the zeroed buffer of the last NextPage, which never counts.
    fp5_.ReadPage();
    if (CFM5::IsFp5Page({fp5_.m_pPage, CFM5::kPageSize})) ++fp5Pages;
    fp5_.NextPage();
  }
  if (fp5_.m_nPageCount <= CFM5::kFirstPage) return 0;
  return static_cast<uint32_t>(fp5Pages * 100 / (fp5_.m_nPageCount - CFM5::kFirstPage));
}

uint32_t CVersion::TestFp7() {
  constexpr uint32_t kFirstPage = 2;
  if (!fp7_.Connect(source_) || fp7_.m_nPageCount < 3) return 0;
  g_Log.LogFormat("SetParsedPage: %i", static_cast<int>(kFirstPage));
  fp7_.m_nCurrentPage = kFirstPage;
  for (uint32_t pass = 0; pass < fp7_.m_nPageCount && !Stopped(); ++pass) {
    const bool catalogue =
        fp7_.ReadPage() && (fp7_.IsTablesCatalogue() || fp7_.IsFieldsCatalogue());
    fp7_.NextPage();
    if (catalogue) return 100;
  }
  return 0;
}
