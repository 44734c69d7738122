// The search for the end of central directory record. It is searched backwards from the end of
// the file, since a comment of up to 65535 bytes may follow it; the record nearest the end that
// its reader accepts is the one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "zipformat/records.h"

namespace lorvante::zipformat {

// One place where the signature was found: its offset in the searched bytes and the fixed
// fields there.
struct EndRecordCandidate {
  std::size_t offset = 0;
  EndRecord record;
};

// Decides whether a candidate is the archive's end record (for instance whether its comment and
// its directory fit in the file); a rejected one is passed over and the search goes on towards
// the start.
using EndRecordCheck = std::function<bool(const EndRecordCandidate&)>;

// Searches `tail`, the last bytes of a file, backwards for the end record: from the last place
// where a whole fixed record fits down to the first byte. Returns the first candidate that
// `accept` takes (every one when `accept` is empty); nothing when there is none.
std::optional<EndRecordCandidate> FindEndRecord(std::span<const std::uint8_t> tail,
                                                const EndRecordCheck& accept = {});

}  // namespace lorvante::zipformat
