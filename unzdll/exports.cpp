// The library's entry points; everything else stays hidden.
#include <exception>

#include "platform/signal_cleanup.h"
#include "unzdll/batch.h"
#include "unzdll/unzdll_api.h"

#define UNZDLL_EXPORT __attribute__((visibility("default")))

extern "C" UNZDLL_EXPORT int32_t UnzDllExec(const TUnzipParams* params) {
  if (params == nullptr) return 0;
  try {
    return unzdll::RunBatch(*params);
  } catch (const std::exception&) {
    // Out of memory and the like: no exception crosses into the host.
    return 0;
  }
}

extern "C" UNZDLL_EXPORT uint32_t GetUnzDllVersion(void) {
  return UNZDLL_VERSION;
}

extern "C" UNZDLL_EXPORT void UnzDllRemoveTemporaries(void) {
  // The library's hidden files are registered in its own copy of the table (replacement_file.h).
  lorvante::RemoveRegisteredNow();
}
