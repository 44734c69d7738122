// The file specs of a run: which entries are selected.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace unzdll {

// `name` matches `pattern` exactly, or with `*` for any run of characters (`/` included) and `?`
// for one UTF-8 character. The whole name must match.
bool WildcardMatch(std::string_view pattern, std::string_view name);

class SpecList {
 public:
  // The spec texts, their separators read as in entry names; no texts = every entry.
  explicit SpecList(std::vector<std::string> texts);
  bool Selects(std::string_view name) const;

 private:
  std::vector<std::string> texts_;
};

}  // namespace unzdll
