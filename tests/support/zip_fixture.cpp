#include "tests/support/zip_fixture.h"

#include <zip.h>

#include <algorithm>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace lorvante::test {

std::vector<std::uint8_t> MakeStoredArchive(const std::vector<ZipEntry>& entries) {
  TempDir dir;
  const std::string path = dir / "a.zip";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open failed");
  for (const ZipEntry& e : entries) {
    zip_source_t* source = zip_source_buffer(archive, e.data.data(), e.data.size(), 0);
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("zip_file_add failed");
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), e.mtime, 0);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");
  return ReadBytes(path);
}

void DamageAt(std::vector<std::uint8_t>& bytes, const std::string& marker) {
  const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
  if (at == bytes.end()) throw std::runtime_error("marker not found: " + marker);
  *at ^= 0x20;
}

}  // namespace lorvante::test
