// The records of a zip archive that the program reads: their signatures, fixed sizes and
// fields, in file order and width. Each is decoded from bytes through the bounds-checked
// cursor; a decoder fails when the bytes are too few or the signature is another record's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/byte_cursor.h"
#include "platform/byte_writer.h"

namespace lorvante::zipformat {

// Signatures ("PK" and two record numbers), as read little-endian.
inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;     // 50 4B 03 04
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;   // 50 4B 01 02
inline constexpr std::uint32_t kEndRecordSignature = 0x06054B50;       // 50 4B 05 06
inline constexpr std::uint32_t kZip64EndRecordSignature = 0x06064B50;  // 50 4B 06 06
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;    // 50 4B 06 07

// Sizes of the fixed parts, signature included.
inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::size_t kZip64EndRecordSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;

// The longest comment an end record can announce.
inline constexpr std::size_t kMaxCommentLength = 0xFFFF;

// Bits of the general purpose flags.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
// The CRC and sizes follow the data in a data descriptor; the local header may hold them as 0
// or as placeholders (a writer that streams its output knows them only afterwards).
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagStrongEncryption = 0x0040;  // not read
inline constexpr std::uint16_t kFlagUtf8Names = 0x0800;         // name and comment are UTF-8

// Each extra field block starts with its id and the length of what follows, 16 bits each.
inline constexpr std::size_t kExtraBlockHeaderSize = 4;
// Ids of the extra field blocks that are read.
inline constexpr std::uint16_t kExtraZip64 = 0x0001;
inline constexpr std::uint16_t kExtraTimestamp = 0x5455;  // flags, then Unix times
inline constexpr std::uint16_t kExtraWinZipAes = 0x9901;  // AES strength and real method
// The entry's name in UTF-8, for the name stored in a code page (see zipformat/names.h).
inline constexpr std::uint16_t kExtraUnicodePath = 0x7075;

// Bits of the MS-DOS attributes, the low byte of the external attributes.
inline constexpr std::uint32_t kDosAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kDosAttributeFolder = 0x10;

// A 16-bit count or 32-bit size or offset saved at its maximum stands in a zip64 record.
inline constexpr std::uint16_t kZip64Count = 0xFFFF;
inline constexpr std::uint32_t kZip64Value = 0xFFFFFFFF;

// The signature that may open a data descriptor.
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;  // 50 4B 07 08

// The end of central directory record, without its comment.
struct EndRecord {
  std::uint32_t signature = 0;
  std::uint16_t this_disk = 0;
  std::uint16_t central_dir_disk = 0;
  std::uint16_t entries_this_disk = 0;
  std::uint16_t total_entries = 0;
  std::uint32_t central_dir_size = 0;
  std::uint32_t central_dir_offset = 0;
  std::uint16_t comment_length = 0;
};

// A central file header, without its name, extra field and comment.
struct CentralHeader {
  std::uint32_t signature = 0;
  std::uint16_t version_made_by = 0;  // low byte: format version * 10; high byte: host system
  std::uint16_t version_needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t mod_time = 0;
  std::uint16_t mod_date = 0;
  std::uint32_t crc32 = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint16_t name_length = 0;
  std::uint16_t extra_length = 0;
  std::uint16_t comment_length = 0;
  std::uint16_t disk_number_start = 0;
  std::uint16_t internal_attributes = 0;
  std::uint32_t external_attributes = 0;
  std::uint32_t local_header_offset = 0;
};

// A local file header, without its name and extra field.
struct LocalHeader {
  std::uint32_t signature = 0;
  std::uint16_t version_needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t mod_time = 0;
  std::uint16_t mod_date = 0;
  std::uint32_t crc32 = 0;
  std::uint32_t compressed_size = 0;
  std::uint32_t uncompressed_size = 0;
  std::uint16_t name_length = 0;
  std::uint16_t extra_length = 0;
};

// The zip64 end of central directory record: the fields that the end record saves at their
// maximum, in 64 bits.
struct Zip64EndRecord {
  std::uint64_t record_size = 0;  // of what follows this field
  std::uint32_t this_disk = 0;
  std::uint32_t central_dir_disk = 0;
  std::uint64_t entries_this_disk = 0;
  std::uint64_t total_entries = 0;
  std::uint64_t central_dir_size = 0;
  std::uint64_t central_dir_offset = 0;
};

// The zip64 locator, just in front of the end record: where the zip64 end record lies.
struct Zip64Locator {
  std::uint32_t end_record_disk = 0;
  std::uint64_t end_record_offset = 0;
  std::uint32_t total_disks = 0;
};

// Each reads the record's fixed fields from `in`, which moves past them. The signature is read
// as stored and not checked, so that a caller can tell what it found.
EndRecord ReadEndRecord(ByteCursor& in);
CentralHeader ReadCentralHeader(ByteCursor& in);
LocalHeader ReadLocalHeader(ByteCursor& in);

// Each writes the record's fixed fields, in the layout the readers above read.
void WriteEndRecord(ByteWriter& out, const EndRecord& record);
void WriteCentralHeader(ByteWriter& out, const CentralHeader& header);
void WriteLocalHeader(ByteWriter& out, const LocalHeader& header);

// These check their signature: nothing when it differs or the bytes are too few.
std::optional<Zip64EndRecord> ReadZip64EndRecord(std::span<const std::uint8_t> bytes);
std::optional<Zip64Locator> ReadZip64Locator(std::span<const std::uint8_t> bytes);

// The data of the first block of `extra` with this id; nothing when there is none or the blocks
// run past the end before it.
std::optional<std::span<const std::uint8_t>> FindExtraBlock(std::span<const std::uint8_t> extra,
                                                            std::uint16_t id);

// The modification time (Unix seconds) of the extended timestamp block, when it holds one.
std::optional<std::int64_t> FindUnixModTime(std::span<const std::uint8_t> extra);

// An entry's sizes and the offset of its local header in 64 bits.
struct WideSizes {
  std::uint64_t compressed_size = 0;
  std::uint64_t uncompressed_size = 0;
  std::uint64_t local_header_offset = 0;
};

// The sizes and offset of `header`: a field saved at 0xFFFFFFFF is taken from the zip64 extra
// field block in `extra`, where the saved ones follow each other in the order uncompressed size,
// compressed size, offset. A field that the block does not hold keeps its saved value.
WideSizes ReadWideSizes(const CentralHeader& header, std::span<const std::uint8_t> extra);

// A central file header with what follows it, and the sizes and offset it stands for in 64 bits.
struct CentralRecord {
  CentralHeader header;
  std::span<const std::uint8_t> name;
  std::span<const std::uint8_t> extra;
  std::span<const std::uint8_t> comment;
  WideSizes sizes;
};

// Why a central record could not be read.
enum class CentralRecordFault { kNone, kSignature, kCutShort };

// Reads one central file header, its name, extra field and comment from `in`, which moves past
// them. Nothing, with the reason in `fault`, when the signature is another record's or the bytes
// end before the comment does.
std::optional<CentralRecord> ReadCentralRecord(ByteCursor& in, CentralRecordFault& fault);

// The WinZip AES field (extra block 0x9901) of an encrypted entry of method 99.
struct AesField {
  std::uint16_t version = 0;  // 1: AE-1 (CRC kept), 2: AE-2 (CRC 0, the code alone checks)
  std::uint8_t strength = 0;  // 1, 2, 3: AES-128, -192, -256
  std::uint16_t method = 0;   // the real compression method
};
inline constexpr std::uint16_t kAesVendorId = 0x4541;  // "AE"

// The AES field among the blocks of `extra`: nothing when there is none, or when it is not
// one that is read (another vendor, a version other than 1 and 2, a strength other than 1 to 3).
std::optional<AesField> FindAesField(std::span<const std::uint8_t> extra);

// The host system of a "version made by" field (its high byte).
constexpr unsigned HostSystem(std::uint16_t version_made_by) {
  return version_made_by >> 8;
}
// The format version of a "version made by" field (its low byte: major * 10 + minor).
constexpr unsigned FormatVersion(std::uint16_t version_made_by) {
  return version_made_by & 0xFF;
}

}  // namespace lorvante::zipformat
