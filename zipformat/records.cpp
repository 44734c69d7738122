#include "zipformat/records.h"

namespace lorvante::zipformat {

EndRecord ReadEndRecord(ByteCursor& in) {
  EndRecord r;
  r.signature = in.U32();
  r.this_disk = in.U16();
  r.central_dir_disk = in.U16();
  r.entries_this_disk = in.U16();
  r.total_entries = in.U16();
  r.central_dir_size = in.U32();
  r.central_dir_offset = in.U32();
  r.comment_length = in.U16();
  return r;
}

CentralHeader ReadCentralHeader(ByteCursor& in) {
  CentralHeader h;
  h.signature = in.U32();
  h.version_made_by = in.U16();
  h.version_needed = in.U16();
  h.flags = in.U16();
  h.method = in.U16();
  h.mod_time = in.U16();
  h.mod_date = in.U16();
  h.crc32 = in.U32();
  h.compressed_size = in.U32();
  h.uncompressed_size = in.U32();
  h.name_length = in.U16();
  h.extra_length = in.U16();
  h.comment_length = in.U16();
  h.disk_number_start = in.U16();
  h.internal_attributes = in.U16();
  h.external_attributes = in.U32();
  h.local_header_offset = in.U32();
  return h;
}

LocalHeader ReadLocalHeader(ByteCursor& in) {
  LocalHeader h;
  h.signature = in.U32();
  h.version_needed = in.U16();
  h.flags = in.U16();
  h.method = in.U16();
  h.mod_time = in.U16();
  h.mod_date = in.U16();
  h.crc32 = in.U32();
  h.compressed_size = in.U32();
  h.uncompressed_size = in.U32();
  h.name_length = in.U16();
  h.extra_length = in.U16();
  return h;
}

std::optional<Zip64EndRecord> ReadZip64EndRecord(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  if (in.U32() != kZip64EndRecordSignature) return std::nullopt;
  // Record size, versions made by and needed, this disk, the directory's disk, entries on
  // this disk.
  in.Skip(8 + 2 + 2 + 4 + 4 + 8);
  Zip64EndRecord r;
  r.total_entries = in.U64();
  r.central_dir_size = in.U64();
  r.central_dir_offset = in.U64();
  if (!in.ok()) return std::nullopt;
  return r;
}

std::optional<Zip64Locator> ReadZip64Locator(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  if (in.U32() != kZip64LocatorSignature) return std::nullopt;
  Zip64Locator l;
  l.end_record_disk = in.U32();
  l.end_record_offset = in.U64();
  l.total_disks = in.U32();
  if (!in.ok()) return std::nullopt;
  return l;
}

}  // namespace lorvante::zipformat
