// The component's records filled from the fixed fields that zipformat/ decodes.
#include <algorithm>

#include "platform/byte_cursor.h"
#include "zip/Zip.h"
#include "zipformat/records.h"

namespace lorvante {

bool TEOCHInfo::Decode(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes.first(std::min(bytes.size(), kEndOfCentralDirSize)));
  const zipformat::EndRecord r = zipformat::ReadEndRecord(in);
  if (!in.ok()) return false;
  Signature = r.signature;
  ThisDisk = r.this_disk;
  CentralDirDisk = r.central_dir_disk;
  EntriesThisDisk = r.entries_this_disk;
  TotalEntries = r.total_entries;
  CentralDirSize = r.central_dir_size;
  CentralDirOffset = r.central_dir_offset;
  CommentLength = r.comment_length;
  return true;
}

std::vector<std::uint8_t> TEOCHInfo::Encode() const {
  std::vector<std::uint8_t> out;
  out.reserve(kEndOfCentralDirSize);
  const auto put = [&out](std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  put(Signature, 4);
  put(ThisDisk, 2);
  put(CentralDirDisk, 2);
  put(EntriesThisDisk, 2);
  put(TotalEntries, 2);
  put(CentralDirSize, 4);
  put(CentralDirOffset, 4);
  put(CommentLength, 2);
  return out;
}

bool TFileInfo::Decode(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes.first(std::min(bytes.size(), kCentralHeaderSize)));
  const zipformat::CentralHeader h = zipformat::ReadCentralHeader(in);
  if (!in.ok()) return false;
  Signature = h.signature;
  VersionMadeBy = h.version_made_by;
  VersionNeeded = h.version_needed;
  GeneralFlags = h.flags;
  Method = h.method;
  ModTime = h.mod_time;
  ModDate = h.mod_date;
  Crc32 = h.crc32;
  CompressedSize = h.compressed_size;
  UncompressedSize = h.uncompressed_size;
  NameLength = h.name_length;
  ExtraLength = h.extra_length;
  CommentLength = h.comment_length;
  DiskNumberStart = h.disk_number_start;
  InternalAttributes = h.internal_attributes;
  ExternalAttributes = h.external_attributes;
  LocalHeaderOffset = h.local_header_offset;
  Encrypted = (GeneralFlags & zipformat::kFlagEncrypted) != 0 ? 1 : 0;
  ReadWideSizes();
  return true;
}

void TFileInfo::ReadWideSizes() {
  zipformat::CentralHeader h;
  h.compressed_size = CompressedSize;
  h.uncompressed_size = UncompressedSize;
  h.local_header_offset = LocalHeaderOffset;
  const auto* extra = reinterpret_cast<const std::uint8_t*>(ExtraField.data());
  const zipformat::WideSizes sizes = zipformat::ReadWideSizes(h, {extra, ExtraField.size()});
  CompressedSize64 = sizes.compressed_size;
  UncompressedSize64 = sizes.uncompressed_size;
  LocalHeaderOffset64 = sizes.local_header_offset;
}

}  // namespace lorvante
