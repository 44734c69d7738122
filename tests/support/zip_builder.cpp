#include "tests/support/zip_builder.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/byte_writer.h"
#include "tests/support/test_support.h"
#include "zipformat/records.h"

namespace lorvante::test {
namespace {

namespace zf = zipformat;

void PutBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  out.insert(out.end(), p, p + size);
}

// The extra field of both headers: the timestamp field when the item has a Unix time.
std::vector<std::uint8_t> TimestampField(const ZipItem& item) {
  std::vector<std::uint8_t> extra;
  if (item.unix_mtime) {
    PutLE(extra, zf::kExtraTimestamp, 2);
    PutLE(extra, 5, 2);
    extra.push_back(1);
    PutLE(extra, static_cast<std::uint32_t>(*item.unix_mtime), 4);
  }
  return extra;
}

std::vector<std::uint8_t> StoredBytes(const ZipItem& item) {
  if (item.stored) return *item.stored;
  return item.method == 8 ? Deflate(item.data) : item.data;
}

// What both headers say about the data.
struct DataFields {
  std::uint32_t crc, compressed, size;
};

DataFields FieldsOf(const ZipItem& item, std::size_t stored_size) {
  DataFields f{};
  f.crc = item.crc.value_or(crc32(0, item.data.data(), static_cast<uInt>(item.data.size())));
  f.compressed = item.declared_compressed_size.value_or(static_cast<std::uint32_t>(stored_size));
  f.size = item.declared_size.value_or(static_cast<std::uint32_t>(item.data.size()));
  return f;
}

void PutLocalEntry(std::vector<std::uint8_t>& out, const ZipItem& item, const DataFields& f,
                   const std::vector<std::uint8_t>& stored) {
  std::vector<std::uint8_t> extra = TimestampField(item);
  PutBytes(extra, item.local_extra.data(), item.local_extra.size());
  const std::string& name = item.local_name.value_or(item.name);
  ByteWriter writer(out);
  zf::WriteLocalHeader(writer, {.signature = zf::kLocalHeaderSignature,
                                .version_needed = 20,
                                .flags = item.flags,
                                .method = item.method,
                                .mod_time = item.dos_time,
                                .mod_date = item.dos_date,
                                .crc32 = item.local_crc.value_or(f.crc),
                                .compressed_size = item.local_compressed_size.value_or(f.compressed),
                                .uncompressed_size = item.local_size.value_or(f.size),
                                .name_length = static_cast<std::uint16_t>(name.size()),
                                .extra_length = static_cast<std::uint16_t>(extra.size())});
  PutBytes(out, name.data(), name.size());
  PutBytes(out, extra.data(), extra.size());
  PutBytes(out, stored.data(), stored.size());
  if (item.descriptor) {
    PutLE(out, zf::kDataDescriptorSignature, 4);
    PutLE(out, f.crc, 4);
    PutLE(out, f.compressed, 4);
    PutLE(out, f.size, 4);
  }
}

void PutLE64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  PutLE(out, static_cast<std::uint32_t>(value), 4);
  PutLE(out, static_cast<std::uint32_t>(value >> 32), 4);
}

// The zip64 extra field of a central header whose sizes and offset are saved at their maximum.
std::vector<std::uint8_t> Zip64Field(const DataFields& f, std::uint64_t local_offset) {
  std::vector<std::uint8_t> extra;
  PutLE(extra, zf::kExtraZip64, 2);
  PutLE(extra, 24, 2);
  PutLE64(extra, f.size);
  PutLE64(extra, f.compressed);
  PutLE64(extra, local_offset);
  return extra;
}

void PutCentralHeader(std::vector<std::uint8_t>& out, const ZipItem& item, DataFields f,
                      std::uint32_t local_offset, bool zip64 = false) {
  std::vector<std::uint8_t> extra = TimestampField(item);
  if (zip64) {
    const auto field = Zip64Field(f, item.local_header_offset.value_or(local_offset));
    PutBytes(extra, field.data(), field.size());
    f.size = f.compressed = zf::kZip64Value;
    local_offset = zf::kZip64Value;
  }
  PutBytes(extra, item.extra.data(), item.extra.size());
  ByteWriter writer(out);
  zf::WriteCentralHeader(
      writer, {.signature = item.signature.value_or(zf::kCentralHeaderSignature),
               .version_made_by = item.made_by,
               .version_needed = item.version_needed,
               .flags = item.flags,
               .method = item.method,
               .mod_time = item.dos_time,
               .mod_date = item.dos_date,
               .crc32 = f.crc,
               .compressed_size = f.compressed,
               .uncompressed_size = f.size,
               .name_length = static_cast<std::uint16_t>(item.name.size()),
               .extra_length = static_cast<std::uint16_t>(extra.size()),
               .comment_length = static_cast<std::uint16_t>(item.comment.size()),
               .disk_number_start = item.disk_number_start,
               .internal_attributes = item.internal,
               .external_attributes = item.external,
               .local_header_offset =
                   zip64 ? local_offset : item.local_header_offset.value_or(local_offset)});
  PutBytes(out, item.name.data(), item.name.size());
  PutBytes(out, extra.data(), extra.size());
  PutBytes(out, item.comment.data(), item.comment.size());
}

}  // namespace

void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
  z_stream zs{};
  if (deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::vector<std::uint8_t> out(deflateBound(&zs, data.size()) + 16);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::vector<std::uint8_t> CentralHeader(const ZipItem& item, std::uint32_t local_offset) {
  std::vector<std::uint8_t> out;
  PutCentralHeader(out, item, FieldsOf(item, StoredBytes(item).size()), local_offset);
  return out;
}

std::vector<std::uint8_t> ZipLayout::Build() const {
  std::vector<std::uint8_t> out = prefix;
  const std::size_t base = adjust_offsets ? 0 : out.size();
  const auto offset_of = [&](std::size_t position) {
    return static_cast<std::uint32_t>(position - base);
  };
  struct Written {
    DataFields fields;
    std::uint32_t offset;
  };
  std::vector<Written> written;
  for (const ZipItem& item : entries) {
    const std::vector<std::uint8_t> stored = StoredBytes(item);
    Written w{FieldsOf(item, stored.size()), 0};
    if (item.local_of) {
      written.push_back(written.at(*item.local_of));
      continue;
    }
    w.offset = offset_of(out.size());
    PutLocalEntry(out, item, w.fields, stored);
    written.push_back(w);
  }

  const std::size_t central_start = out.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PutCentralHeader(out, entries[i], written[i].fields, written[i].offset, zip64);
  }
  auto central_size = static_cast<std::uint32_t>(out.size() - central_start);
  auto central_offset = offset_of(central_start);
  auto count = static_cast<std::uint16_t>(entries.size());

  if (zip64) {
    const std::uint32_t record_offset = offset_of(out.size());
    PutLE(out, zf::kZip64EndRecordSignature, 4);
    PutLE64(out, zf::kZip64EndRecordSize - 12);
    PutLE(out, 45, 2);  // made by: version 4.5
    PutLE(out, 45, 2);  // needed
    PutLE(out, this_disk, 4);
    PutLE(out, central_dir_disk, 4);
    PutLE64(out, entries.size());
    PutLE64(out, entries.size());
    PutLE64(out, central_size);
    PutLE64(out, central_offset);
    PutLE(out, zf::kZip64LocatorSignature, 4);
    PutLE(out, this_disk, 4);
    PutLE64(out, record_offset);
    PutLE(out, 1, 4);  // total disks
    count = zf::kZip64Count;
    central_size = central_offset = zf::kZip64Value;
  }

  const bool disk_placeholders = zip64 && zip64_disk_placeholders;
  ByteWriter writer(out);
  zf::WriteEndRecord(
      writer,
      {.signature = zf::kEndRecordSignature,
       .this_disk = static_cast<std::uint16_t>(disk_placeholders ? zf::kZip64Count : this_disk),
       .central_dir_disk =
           static_cast<std::uint16_t>(disk_placeholders ? zf::kZip64Count : central_dir_disk),
       .entries_this_disk = entries_this_disk.value_or(count),
       .total_entries = total_entries.value_or(count),
       .central_dir_size = central_dir_size.value_or(central_size),
       .central_dir_offset = central_dir_offset.value_or(central_offset),
       .comment_length = comment_length.value_or(static_cast<std::uint16_t>(comment.size()))});
  PutBytes(out, comment.data(), comment.size());
  PutBytes(out, trailer.data(), trailer.size());
  return out;
}

std::vector<std::uint8_t> BuildZip(const std::vector<ZipItem>& items, ZipLayout layout) {
  layout.entries = items;
  return layout.Build();
}

void WriteLibzipArchive(const std::string& path, const std::vector<LibzipItem>& items) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open for writing");
  for (const LibzipItem& item : items) {
    zip_source_t* source = zip_source_buffer(archive, item.data.data(), item.data.size(), 0);
    const zip_int64_t index = zip_file_add(archive, item.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("zip_file_add");
    const auto at = static_cast<zip_uint64_t>(index);
    zip_set_file_compression(archive, at, item.compression, 0);
    if (item.mtime) zip_file_set_mtime(archive, at, *item.mtime, 0);
    if (item.encryption != 0 &&
        zip_file_set_encryption(archive, at, item.encryption, item.password.c_str()) != 0) {
      throw std::runtime_error("zip_file_set_encryption");
    }
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
}

std::vector<std::uint8_t> MakeStoredArchive(const std::vector<ZipEntry>& entries) {
  std::vector<LibzipItem> items;
  for (const ZipEntry& e : entries) {
    LibzipItem& item = items.emplace_back();
    item.name = e.name;
    item.data.assign(e.data.begin(), e.data.end());
    item.compression = ZIP_CM_STORE;
    item.mtime = e.mtime;
  }
  TempDir dir;
  const std::string path = dir / "a.zip";
  WriteLibzipArchive(path, items);
  return ReadBytes(path);
}

bool WriteSparseZip64Archive(const std::string& path, std::uint64_t big_size,
                             const std::string& small) {
  // The CRC of the zeros, one block at a time.
  const std::vector<std::uint8_t> zeros(1 << 20, 0);
  const uLong block_crc = crc32(0, zeros.data(), static_cast<uInt>(zeros.size()));
  uLong big_crc = crc32(0, nullptr, 0);
  std::uint64_t left = big_size;
  for (; left >= zeros.size(); left -= zeros.size()) {
    big_crc = crc32_combine(big_crc, block_crc, static_cast<z_off_t>(zeros.size()));
  }
  big_crc = crc32(big_crc, zeros.data(), static_cast<uInt>(left));
  const auto small_crc =
      crc32(0, reinterpret_cast<const Bytef*>(small.data()), static_cast<uInt>(small.size()));

  const auto local = [](std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t crc,
                        std::uint32_t size, const std::vector<std::uint8_t>& extra) {
    PutLE(out, zf::kLocalHeaderSignature, 4);
    PutLE(out, 45, 2);
    PutLE(out, 0, 2);  // flags
    PutLE(out, 0, 2);  // stored
    PutLE(out, 12 << 11, 2);
    PutLE(out, (40 << 9) | (1 << 5) | 1, 2);
    PutLE(out, crc, 4);
    PutLE(out, size, 4);
    PutLE(out, size, 4);
    PutLE(out, static_cast<std::uint32_t>(name.size()), 2);
    PutLE(out, static_cast<std::uint32_t>(extra.size()), 2);
    PutBytes(out, name.data(), name.size());
    PutBytes(out, extra.data(), extra.size());
  };
  const auto central = [](std::vector<std::uint8_t>& out, const std::string& name,
                          std::uint32_t crc, std::uint32_t size, std::uint32_t offset,
                          const std::vector<std::uint8_t>& extra) {
    PutLE(out, zf::kCentralHeaderSignature, 4);
    PutLE(out, 0x032D, 2);  // Unix, 4.5
    PutLE(out, 45, 2);
    PutLE(out, 0, 2);
    PutLE(out, 0, 2);
    PutLE(out, 12 << 11, 2);
    PutLE(out, (40 << 9) | (1 << 5) | 1, 2);
    PutLE(out, crc, 4);
    PutLE(out, size, 4);
    PutLE(out, size, 4);
    PutLE(out, static_cast<std::uint32_t>(name.size()), 2);
    PutLE(out, static_cast<std::uint32_t>(extra.size()), 2);
    PutLE(out, 0, 2);  // comment
    PutLE(out, 0, 2);  // disk
    PutLE(out, 0, 2);  // internal
    PutLE(out, 0100644u << 16, 4);
    PutLE(out, offset, 4);
    PutBytes(out, name.data(), name.size());
    PutBytes(out, extra.data(), extra.size());
  };
  const auto zip64_field = [](std::initializer_list<std::uint64_t> values) {
    std::vector<std::uint8_t> extra;
    PutLE(extra, zf::kExtraZip64, 2);
    PutLE(extra, static_cast<std::uint32_t>(8 * values.size()), 2);
    for (const std::uint64_t v : values) PutLE64(extra, v);
    return extra;
  };

  std::vector<std::uint8_t> head;
  local(head, "big.bin", static_cast<std::uint32_t>(big_crc), zf::kZip64Value,
        zip64_field({big_size, big_size}));
  const std::uint64_t small_offset = head.size() + big_size;
  std::vector<std::uint8_t> tail;
  local(tail, "small.txt", static_cast<std::uint32_t>(small_crc),
        static_cast<std::uint32_t>(small.size()), {});
  PutBytes(tail, small.data(), small.size());
  const std::uint64_t directory_offset = small_offset + tail.size();
  const std::size_t directory_start = tail.size();
  central(tail, "big.bin", static_cast<std::uint32_t>(big_crc), zf::kZip64Value, 0,
          zip64_field({big_size, big_size}));
  central(tail, "small.txt", static_cast<std::uint32_t>(small_crc),
          static_cast<std::uint32_t>(small.size()), zf::kZip64Value, zip64_field({small_offset}));
  const std::uint64_t directory_size = tail.size() - directory_start;
  const std::uint64_t record_offset = directory_offset + directory_size;
  PutLE(tail, zf::kZip64EndRecordSignature, 4);
  PutLE64(tail, zf::kZip64EndRecordSize - 12);
  PutLE(tail, 45, 2);
  PutLE(tail, 45, 2);
  PutLE(tail, 0, 4);
  PutLE(tail, 0, 4);
  PutLE64(tail, 2);
  PutLE64(tail, 2);
  PutLE64(tail, directory_size);
  PutLE64(tail, directory_offset);
  PutLE(tail, zf::kZip64LocatorSignature, 4);
  PutLE(tail, 0, 4);
  PutLE64(tail, record_offset);
  PutLE(tail, 1, 4);
  PutLE(tail, zf::kEndRecordSignature, 4);
  PutLE(tail, 0, 4);
  PutLE(tail, 2, 2);
  PutLE(tail, 2, 2);
  PutLE(tail, zf::kZip64Value, 4);
  PutLE(tail, zf::kZip64Value, 4);
  PutLE(tail, 0, 2);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path);
  bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
            fseeko(file, static_cast<off_t>(small_offset), SEEK_SET) == 0 &&
            std::fwrite(tail.data(), 1, tail.size(), file) == tail.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok) throw std::runtime_error("cannot write " + path);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 ||
      static_cast<std::uint64_t>(st.st_blocks) * 512 > (64u << 20)) {
    std::remove(path.c_str());
    return false;
  }
  return true;
}

void DamageAt(std::vector<std::uint8_t>& bytes, const std::string& marker) {
  const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
  if (at == bytes.end()) throw std::runtime_error("marker not found: " + marker);
  *at ^= 0x20;
}

}  // namespace lorvante::test
