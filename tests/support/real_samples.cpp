#include "support/real_samples.h"

#include <cstdlib>
#include <cstring>

std::filesystem::path RealSample(const std::string& relative) {
  const std::filesystem::path path = std::filesystem::path(QRX_REAL_SAMPLES_DIR) / relative;
  std::error_code error;
  return std::filesystem::exists(path, error) ? path : std::filesystem::path();
}

std::string RealSampleMissing(const std::string& relative) {
  return "the real sample databases are not at hand: " +
         (std::filesystem::path(QRX_REAL_SAMPLES_DIR) / relative).lexically_normal().string() +
         " is missing (the folder ../shared/samples/real beside the repository holds the fp5 "
         "and fp7 files the database program wrote, under fp5/ and fp7/)";
}

bool RealSamplesRequired() {
  // In continuous integration on a machine that has the shared folder beside the repository, a
  // missing sample means something is wrong; a machine without that folder has no samples at all.
  const char* ci = std::getenv("CI");
  const std::filesystem::path shared =
      std::filesystem::path(QRX_REAL_SAMPLES_DIR).parent_path().parent_path();
  std::error_code error;
  return ci != nullptr && std::strcmp(ci, "true") == 0 && std::filesystem::exists(shared, error);
}
