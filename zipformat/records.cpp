#include "zipformat/records.h"

namespace lorvante::zipformat {

namespace {

// Each record's fixed fields in file order and width, walked alike for reading and for writing,
// so that a layout is written by the code that reads it.
template <typename Field, typename Record>
void EndRecordFields(Field&& field, Record& r) {
  field(r.signature);
  field(r.this_disk);
  field(r.central_dir_disk);
  field(r.entries_this_disk);
  field(r.total_entries);
  field(r.central_dir_size);
  field(r.central_dir_offset);
  field(r.comment_length);
}

template <typename Field, typename Record>
void CentralHeaderFields(Field&& field, Record& h) {
  field(h.signature);
  field(h.version_made_by);
  field(h.version_needed);
  field(h.flags);
  field(h.method);
  field(h.mod_time);
  field(h.mod_date);
  field(h.crc32);
  field(h.compressed_size);
  field(h.uncompressed_size);
  field(h.name_length);
  field(h.extra_length);
  field(h.comment_length);
  field(h.disk_number_start);
  field(h.internal_attributes);
  field(h.external_attributes);
  field(h.local_header_offset);
}

template <typename Field, typename Record>
void LocalHeaderFields(Field&& field, Record& h) {
  field(h.signature);
  field(h.version_needed);
  field(h.flags);
  field(h.method);
  field(h.mod_time);
  field(h.mod_date);
  field(h.crc32);
  field(h.compressed_size);
  field(h.uncompressed_size);
  field(h.name_length);
  field(h.extra_length);
}

struct ReadField {
  ByteCursor& in;
  void operator()(std::uint16_t& value) const { value = in.U16(); }
  void operator()(std::uint32_t& value) const { value = in.U32(); }
};

struct WriteField {
  ByteWriter& out;
  void operator()(std::uint16_t value) const { out.U16(value); }
  void operator()(std::uint32_t value) const { out.U32(value); }
};

}  // namespace

EndRecord ReadEndRecord(ByteCursor& in) {
  EndRecord r;
  EndRecordFields(ReadField{in}, r);
  return r;
}

CentralHeader ReadCentralHeader(ByteCursor& in) {
  CentralHeader h;
  CentralHeaderFields(ReadField{in}, h);
  return h;
}

LocalHeader ReadLocalHeader(ByteCursor& in) {
  LocalHeader h;
  LocalHeaderFields(ReadField{in}, h);
  return h;
}

void WriteEndRecord(ByteWriter& out, const EndRecord& record) {
  EndRecordFields(WriteField{out}, record);
}

void WriteCentralHeader(ByteWriter& out, const CentralHeader& header) {
  CentralHeaderFields(WriteField{out}, header);
}

void WriteLocalHeader(ByteWriter& out, const LocalHeader& header) {
  LocalHeaderFields(WriteField{out}, header);
}

std::optional<Zip64EndRecord> ReadZip64EndRecord(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes);
  if (in.U32() != kZip64EndRecordSignature) return std::nullopt;
  Zip64EndRecord r;
  r.record_size = in.U64();
  in.Skip(2 + 2);  // versions made by and needed
  r.this_disk = in.U32();
  r.central_dir_disk = in.U32();
  r.entries_this_disk = in.U64();
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

std::optional<std::span<const std::uint8_t>> FindExtraBlock(std::span<const std::uint8_t> extra,
                                                           std::uint16_t id) {
  ByteCursor blocks(extra);
  while (blocks.Remaining() >= kExtraBlockHeaderSize) {
    const std::uint16_t block_id = blocks.U16();
    const std::uint16_t length = blocks.U16();
    const auto block = blocks.Block(length);
    if (!blocks.ok()) break;
    if (block_id == id) return block;
  }
  return std::nullopt;
}

WideSizes ReadWideSizes(const CentralHeader& header, std::span<const std::uint8_t> extra) {
  WideSizes sizes{header.compressed_size, header.uncompressed_size, header.local_header_offset};
  const auto block = FindExtraBlock(extra, kExtraZip64);
  if (!block) return sizes;
  ByteCursor field(*block);
  const auto wide = [&field](std::uint32_t saved, std::uint64_t& value) {
    if (saved != kZip64Value) return;
    const std::uint64_t read = field.U64();
    if (field.ok()) value = read;
  };
  wide(header.uncompressed_size, sizes.uncompressed_size);
  wide(header.compressed_size, sizes.compressed_size);
  wide(header.local_header_offset, sizes.local_header_offset);
  return sizes;
}

std::optional<CentralRecord> ReadCentralRecord(ByteCursor& in, CentralRecordFault& fault) {
  CentralRecord record;
  record.header = ReadCentralHeader(in);
  fault = CentralRecordFault::kCutShort;
  if (!in.ok()) return std::nullopt;
  fault = CentralRecordFault::kSignature;
  if (record.header.signature != kCentralHeaderSignature) return std::nullopt;
  record.name = in.Block(record.header.name_length);
  record.extra = in.Block(record.header.extra_length);
  record.comment = in.Block(record.header.comment_length);
  fault = CentralRecordFault::kCutShort;
  if (!in.ok()) return std::nullopt;
  fault = CentralRecordFault::kNone;
  record.sizes = ReadWideSizes(record.header, record.extra);
  return record;
}

std::optional<AesField> FindAesField(std::span<const std::uint8_t> extra) {
  constexpr unsigned kLastVersion = 2;
  constexpr unsigned kLastStrength = 3;
  const auto block = FindExtraBlock(extra, kExtraWinZipAes);
  if (!block) return std::nullopt;
  ByteCursor in(*block);
  AesField field;
  field.version = in.U16();
  const std::uint16_t vendor = in.U16();
  field.strength = in.U8();
  field.method = in.U16();
  if (!in.ok() || vendor != kAesVendorId || field.version < 1 || field.version > kLastVersion ||
      field.strength < 1 || field.strength > kLastStrength) {
    return std::nullopt;
  }
  return field;
}

std::optional<std::int64_t> FindUnixModTime(std::span<const std::uint8_t> extra) {
  constexpr std::uint8_t kHasModTime = 0x01;
  const auto block = FindExtraBlock(extra, kExtraTimestamp);
  if (!block) return std::nullopt;
  ByteCursor field(*block);
  const std::uint8_t flags = field.U8();
  const auto time = static_cast<std::int32_t>(field.U32());
  if (!field.ok() || (flags & kHasModTime) == 0) return std::nullopt;
  return time;
}

}  // namespace lorvante::zipformat
