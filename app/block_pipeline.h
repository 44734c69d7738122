// Blocks made on a worker thread and used on the calling thread, in order, through two buffers:
// while the caller uses one block, the worker fills the other. The memory is two blocks,
// whatever the length of the stream. A stream known to be short is made and used on the calling
// thread alone, in one buffer that the thread keeps for the next stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace lorvante {

struct FilledBlock {
  std::size_t size = 0;  // bytes placed at the start of the buffer
  bool last = false;     // nothing follows this block
};

// How the blocks are made: on a worker thread beside the caller, or by the caller itself (a short
// stream, where a thread costs more than the overlap gains).
enum class PipelineMode { kWorkerThread, kCallingThread };

// Runs `produce` on a worker thread, each time into a free buffer of `block_size` bytes, and
// `consume` on the calling thread with each filled block, in the order made, until the last
// block has been consumed. An exception raised by `consume` stops the worker before its next
// block and is raised again here; one raised by `produce` is raised here once the blocks made
// before it have been consumed. The worker has ended when this returns or raises. With
// kCallingThread the same happens on the calling thread, one block at a time, in a buffer of the
// thread's own that grows to the largest block asked for and serves every later call.
void RunBlockPipeline(std::size_t block_size,
                      const std::function<FilledBlock(std::span<std::uint8_t>)>& produce,
                      const std::function<void(std::span<const std::uint8_t>)>& consume,
                      PipelineMode mode = PipelineMode::kWorkerThread);

}  // namespace lorvante
