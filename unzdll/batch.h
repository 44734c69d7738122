// One run of the library: the archive of the call record extracted (or tested) into its folder.
#pragma once

#include <cstdint>

#include "unzdll/unzdll_api.h"

namespace unzdll {

// Returns the number of files written (or tested).
std::int32_t RunBatch(const TUnzipParams& params);

}  // namespace unzdll
