// The component's records filled from the fixed fields that zipformat/ decodes.
#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/byte_writer.h"
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
  ByteWriter writer(out);
  zipformat::WriteEndRecord(writer, {Signature, ThisDisk, CentralDirDisk, EntriesThisDisk,
                                     TotalEntries, CentralDirSize, CentralDirOffset,
                                     CommentLength});
  return out;
}

TFileInfo TFileInfo::FromRecord(const zipformat::CentralRecord& record) {
  const zipformat::CentralHeader& h = record.header;
  TFileInfo info;
  info.Signature = h.signature;
  info.VersionMadeBy = h.version_made_by;
  info.VersionNeeded = h.version_needed;
  info.GeneralFlags = h.flags;
  info.Method = h.method;
  info.ModTime = h.mod_time;
  info.ModDate = h.mod_date;
  info.Crc32 = h.crc32;
  info.CompressedSize = h.compressed_size;
  info.UncompressedSize = h.uncompressed_size;
  info.NameLength = h.name_length;
  info.ExtraLength = h.extra_length;
  info.CommentLength = h.comment_length;
  info.DiskNumberStart = h.disk_number_start;
  info.InternalAttributes = h.internal_attributes;
  info.ExternalAttributes = h.external_attributes;
  info.LocalHeaderOffset = h.local_header_offset;
  info.Encrypted = (h.flags & zipformat::kFlagEncrypted) != 0 ? 1 : 0;
  info.ExtraField.assign(record.extra.begin(), record.extra.end());
  info.CompressedSize64 = record.sizes.compressed_size;
  info.UncompressedSize64 = record.sizes.uncompressed_size;
  info.LocalHeaderOffset64 = record.sizes.local_header_offset;
  return info;
}

}  // namespace lorvante
