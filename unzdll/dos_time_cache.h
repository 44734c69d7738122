// The times of DOS date and time fields, converted once per distinct value: the conversion goes
// through the local time zone, which the C library looks up on the disk on every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "unzdll/archive_layout.h"

namespace unzdll {

class DosTimeCache {
 public:
  std::int64_t ToUnix(std::uint16_t dos_date, std::uint16_t dos_time) {
    const std::uint32_t key = (static_cast<std::uint32_t>(dos_date) << 16) | dos_time;
    if (auto found = known_.find(key); found != known_.end()) return found->second;
    if (known_.size() >= kMaxKnown) known_.clear();
    const std::int64_t seconds = DosTimeToUnix(dos_date, dos_time);
    known_.emplace(key, seconds);
    return seconds;
  }

 private:
  // Archives of many distinct times do not make the cache grow beyond this.
  static constexpr std::size_t kMaxKnown = 4096;
  std::unordered_map<std::uint32_t, std::int64_t> known_;
};

}  // namespace unzdll
