// The fixed parts of the records, decoded field by field from archives built byte by byte.
#include "zipformat/records.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "platform/byte_cursor.h"
#include "tests/support/zip_builder.h"

namespace lorvante::zipformat {
namespace {

using test::PutLE;
using test::ZipItem;
using test::ZipLayout;

ZipItem EveryFieldSet() {
  ZipItem e;
  e.name = "data.bin";
  e.data = {'a', 'b', 'c'};
  e.made_by = 0x033F;
  e.version_needed = 0x0014;
  e.flags = 0x0809;
  e.method = 0x0063;
  e.dos_time = 0x7BCD;
  e.dos_date = 0x5A21;
  e.crc = 0xDEADBEEF;
  e.declared_compressed_size = 0x01020304;
  e.declared_size = 0x0A0B0C0D;
  e.disk_number_start = 0x0102;
  e.internal = 0x0001;
  e.external = 0x81A40000;
  e.extra = "xyz";
  e.comment = "comment";
  e.local_header_offset = 0x11223344;
  return e;
}

TEST(Records, CentralHeaderFieldsAreDecodedInTheirPlaces) {
  const std::vector<std::uint8_t> bytes = test::CentralHeader(EveryFieldSet(), 0);
  ByteCursor in(bytes);
  const CentralHeader h = ReadCentralHeader(in);
  ASSERT_TRUE(in.ok());
  EXPECT_EQ(in.Position(), kCentralHeaderSize);
  EXPECT_EQ(h.signature, kCentralHeaderSignature);
  EXPECT_EQ(h.version_made_by, 0x033F);
  EXPECT_EQ(h.version_needed, 0x0014);
  EXPECT_EQ(h.flags, 0x0809);
  EXPECT_EQ(h.method, 0x0063);
  EXPECT_EQ(h.mod_time, 0x7BCD);
  EXPECT_EQ(h.mod_date, 0x5A21);
  EXPECT_EQ(h.crc32, 0xDEADBEEFu);
  EXPECT_EQ(h.compressed_size, 0x01020304u);
  EXPECT_EQ(h.uncompressed_size, 0x0A0B0C0Du);
  EXPECT_EQ(h.name_length, 8);
  EXPECT_EQ(h.extra_length, 3);
  EXPECT_EQ(h.comment_length, 7);
  EXPECT_EQ(h.disk_number_start, 0x0102);
  EXPECT_EQ(h.internal_attributes, 1);
  EXPECT_EQ(h.external_attributes, 0x81A40000u);
  EXPECT_EQ(h.local_header_offset, 0x11223344u);
  EXPECT_EQ(HostSystem(h.version_made_by), 3u);
  EXPECT_EQ(FormatVersion(h.version_made_by), 0x3Fu);
}

// A whole central record: the parts after the header in their places, the cursor past the
// comment; a record of another signature or cut anywhere after its header is refused as such.
TEST(Records, CentralRecordIsReadWithWhatFollowsItsHeader) {
  const std::vector<std::uint8_t> bytes = test::CentralHeader(EveryFieldSet(), 0);
  ByteCursor in(bytes);
  CentralRecordFault fault = CentralRecordFault::kSignature;
  const auto record = ReadCentralRecord(in, fault);
  ASSERT_TRUE(record);
  EXPECT_EQ(fault, CentralRecordFault::kNone);
  EXPECT_EQ(in.Position(), bytes.size());
  EXPECT_EQ(std::string(record->name.begin(), record->name.end()), "data.bin");
  EXPECT_EQ(std::string(record->extra.begin(), record->extra.end()), "xyz");
  EXPECT_EQ(std::string(record->comment.begin(), record->comment.end()), "comment");
  EXPECT_EQ(record->sizes.local_header_offset, 0x11223344u);

  for (std::size_t cut = kCentralHeaderSize; cut < bytes.size(); cut += 3) {
    ByteCursor short_in(std::span<const std::uint8_t>(bytes).first(cut));
    EXPECT_FALSE(ReadCentralRecord(short_in, fault)) << cut;
    EXPECT_EQ(fault, CentralRecordFault::kCutShort) << cut;
  }
  std::vector<std::uint8_t> local = bytes;
  local[2] = 0x03;  // "PK\3\4"
  ByteCursor other(local);
  EXPECT_FALSE(ReadCentralRecord(other, fault));
  EXPECT_EQ(fault, CentralRecordFault::kSignature);
}

TEST(Records, LocalHeaderAndEndRecordFieldsAreDecodedInTheirPlaces) {
  ZipLayout layout;
  layout.entries = {EveryFieldSet()};
  layout.entries[0].local_header_offset.reset();
  layout.comment = "archive";
  layout.this_disk = 3;
  layout.central_dir_disk = 2;
  layout.entries_this_disk = 5;
  layout.total_entries = 6;
  const std::vector<std::uint8_t> bytes = layout.Build();

  ByteCursor local(bytes);
  const LocalHeader l = ReadLocalHeader(local);
  ASSERT_TRUE(local.ok());
  EXPECT_EQ(local.Position(), kLocalHeaderSize);
  EXPECT_EQ(l.signature, kLocalHeaderSignature);
  EXPECT_EQ(l.version_needed, 20);
  EXPECT_EQ(l.flags, 0x0809);
  EXPECT_EQ(l.method, 0x0063);
  EXPECT_EQ(l.mod_time, 0x7BCD);
  EXPECT_EQ(l.mod_date, 0x5A21);
  EXPECT_EQ(l.crc32, 0xDEADBEEFu);
  EXPECT_EQ(l.compressed_size, 0x01020304u);
  EXPECT_EQ(l.uncompressed_size, 0x0A0B0C0Du);
  EXPECT_EQ(l.name_length, 8);
  EXPECT_EQ(l.extra_length, 0);

  const std::size_t end_at = bytes.size() - kEndRecordSize - layout.comment.size();
  ByteCursor end{std::span(bytes).subspan(end_at)};
  const EndRecord r = ReadEndRecord(end);
  ASSERT_TRUE(end.ok());
  EXPECT_EQ(r.signature, kEndRecordSignature);
  EXPECT_EQ(r.this_disk, 3);
  EXPECT_EQ(r.central_dir_disk, 2);
  EXPECT_EQ(r.entries_this_disk, 5);
  EXPECT_EQ(r.total_entries, 6);
  EXPECT_EQ(r.central_dir_size, kCentralHeaderSize + 8 + 3 + 7);
  EXPECT_EQ(r.central_dir_offset, kLocalHeaderSize + 8 + 3);
  EXPECT_EQ(r.comment_length, 7);
}

TEST(Records, TooFewBytesFailTheCursor) {
  const std::vector<std::uint8_t> central = test::CentralHeader(EveryFieldSet(), 0);
  const std::vector<std::uint8_t> end = ZipLayout{}.Build();
  ByteCursor short_central{std::span(central).first(kCentralHeaderSize - 1)};
  ReadCentralHeader(short_central);
  EXPECT_FALSE(short_central.ok());
  ByteCursor short_local{std::span(central).first(kLocalHeaderSize - 1)};
  ReadLocalHeader(short_local);
  EXPECT_FALSE(short_local.ok());
  ByteCursor short_end{std::span(end).first(kEndRecordSize - 1)};
  ReadEndRecord(short_end);
  EXPECT_FALSE(short_end.ok());
}

std::vector<std::uint8_t> Zip64EndRecordBytes(std::uint32_t signature) {
  std::vector<std::uint8_t> out;
  PutLE(out, signature, 4);
  PutLE(out, kZip64EndRecordSize - 12, 4);  // size of the rest, in 64 bits
  PutLE(out, 0, 4);
  PutLE(out, 45, 2);  // made by
  PutLE(out, 45, 2);  // needed
  PutLE(out, 0, 4);   // this disk
  PutLE(out, 0, 4);   // the directory's disk
  for (std::uint32_t v : {7u, 0u, 8u, 0u, 0x9000u, 1u, 0xA000u, 2u}) PutLE(out, v, 4);
  return out;
}

TEST(Records, Zip64RecordsAreReadInSixtyFourBitsAndCheckTheirSignature) {
  const std::vector<std::uint8_t> end = Zip64EndRecordBytes(kZip64EndRecordSignature);
  ASSERT_EQ(end.size(), kZip64EndRecordSize);
  const auto record = ReadZip64EndRecord(end);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->total_entries, 8u);
  EXPECT_EQ(record->central_dir_size, 0x100009000u);
  EXPECT_EQ(record->central_dir_offset, 0x20000A000u);
  EXPECT_FALSE(ReadZip64EndRecord(Zip64EndRecordBytes(kEndRecordSignature)));
  EXPECT_FALSE(ReadZip64EndRecord(std::span(end).first(kZip64EndRecordSize - 1)));

  std::vector<std::uint8_t> locator;
  PutLE(locator, kZip64LocatorSignature, 4);
  for (std::uint32_t v : {4u, 0x1234u, 5u, 6u}) PutLE(locator, v, 4);
  ASSERT_EQ(locator.size(), kZip64LocatorSize);
  const auto found = ReadZip64Locator(locator);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->end_record_disk, 4u);
  EXPECT_EQ(found->end_record_offset, 0x500001234u);
  EXPECT_EQ(found->total_disks, 6u);
  EXPECT_FALSE(ReadZip64Locator(std::span(locator).first(kZip64LocatorSize - 1)));
  locator[3] = 0x06;
  EXPECT_FALSE(ReadZip64Locator(locator));
}

}  // namespace
}  // namespace lorvante::zipformat
