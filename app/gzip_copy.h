// The copy of a gzip stream's text in large blocks, on two threads: what the text export runs,
// in the program or in its confined process (text_worker_main.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace lorvante {

// The text goes to the writer in blocks of this size (the last one shorter).
inline constexpr std::size_t kGzipWriteBlockSize = 1 << 20;

// Inflates the gzip stream that `read` gives (bytes into the buffer, 0 at the end, negative on
// an error) and hands the text to `write` on the calling thread, in order. `payload_size` (the
// stream's bytes, negative when unknown) sizes the buffers: a short payload is read whole and
// inflated on the calling thread, in pieces sized to it. True when the data
// were complete and sound; false when they are corrupt, no gzip data or unreadable (the text
// before the fault has been written). What `write` raises stops the inflation and is raised
// again.
bool CopyGzipText(const std::function<std::ptrdiff_t(std::span<std::uint8_t>)>& read,
                  const std::function<void(std::span<const std::uint8_t>)>& write,
                  std::int64_t payload_size);

}  // namespace lorvante
