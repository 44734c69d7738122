// Host system codes: the high byte of "version made by", naming the system whose file
// attributes and name conventions an entry follows.
#pragma once

#include <cstdint>

#include "zipformat/records.h"

namespace lorvante::zipformat {

enum HostSystemCode : unsigned {
  kHostMsDos = 0,  // FAT file systems
  kHostUnix = 3,
  kHostOs2 = 6,  // HPFS
  kHostNtfs = 10,
  // Officially MVS; some Windows tools write it, with format version 5.0.
  kHostMvs = 11,
  kHostVfat = 14,
  kHostMacOsX = 19,
};

// The format version those Windows tools write with host 11.
inline constexpr unsigned kWindowsToolsVersion = 50;

// Whether the external attributes carry a Unix mode in their high 16 bits.
constexpr bool IsUnixHost(std::uint16_t version_made_by) {
  const unsigned host = HostSystem(version_made_by);
  return host == kHostUnix || host == kHostMacOsX;
}

}  // namespace lorvante::zipformat
