// The text export's inflation run in a process of its own that the kernel confines (the worker
// program lorvante-text-worker, in the program's private folder): it reads the payload and writes
// the text through descriptors the program hands it, and may open nothing for writing itself.
#pragma once

#include <functional>
#include <string>

namespace lorvante {

// The worker program beside this program, when the kernel confines and the setting allows it;
// empty otherwise (the text is then inflated in the program).
std::string ConfinedTextWorker();

enum class ConfinedCopy { kDone, kCorrupt, kCancelled };

// Inflates the payload open as `payload_fd` (read from where it stands) into the file open as
// `text_fd` in the worker `worker`. `cancelled` is asked now and then; when true, the worker is
// ended. Raises "Stream write error" when a write failed, and the failure of the conversion with
// the reason when the worker could not run or ended early.
ConfinedCopy CopyTextConfined(const std::string& worker, int payload_fd, int text_fd,
                              const std::function<bool()>& cancelled);

}  // namespace lorvante
