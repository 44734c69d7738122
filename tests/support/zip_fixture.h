// Small zip archives for the tests, made with libzip.
#pragma once

#include <ctime>
#include <cstdint>
#include <string>
#include <vector>

namespace lorvante::test {

struct ZipEntry {
  std::string name;
  std::string data;
  std::time_t mtime;
};

// An archive of `entries`, stored without compression so that a test can damage the data.
std::vector<std::uint8_t> MakeStoredArchive(const std::vector<ZipEntry>& entries);

// Flips the case of the first byte of `marker` inside `bytes` (a CRC error for a stored entry).
void DamageAt(std::vector<std::uint8_t>& bytes, const std::string& marker);

}  // namespace lorvante::test
