// Names of what a run leaves on disk while it works, made so that a later run can tell that their
// maker has gone: "<prefix><pid>-<unique part>".
#pragma once

#include <string>
#include <string_view>

namespace lorvante {

// `prefix` followed by this process's id and a '-'; mkstemp or mkdtemp adds the unique part.
std::string OwnedNamePrefix(std::string_view prefix);

// Whether `name` is "<prefix><pid>-..." and no process `pid` exists any more (never this one).
bool LeftByGoneProcess(std::string_view name, std::string_view prefix);

// When this run started (seconds since the epoch): what a gone process left is older.
long long RunStartTime();

}  // namespace lorvante
