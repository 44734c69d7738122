// Sound archives in the unusual shapes that real writers make: names stored in a code page under
// a host that says otherwise or flagged UTF-8 without being so, the UTF-8 name in a Unicode path
// field, unused bytes after the end of an entry's stream, a central directory size saved short,
// a folder with meaningless Unix type bits. One table for the listing's tests and the library's,
// each shape with what comes of it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace lorvante::test {

struct WriterShape {
  const char* label;
  // The program that writes the archive, or nullptr for the tests' own bytes.
  const char* writer;
  std::function<std::vector<std::uint8_t>()> make;
  std::vector<std::string> listed;  // the listing's names, in directory order
  std::set<std::string> tree;       // the target after the extraction (folders with a final '/')
  // Names that 7-Zip writes otherwise: it keeps the bytes of a name that is not UTF-8.
  std::map<std::string, std::string> peer_names = {};
};

// The locale under which the shapes' names are read: its OEM code page is CP437.
inline constexpr char kWriterShapesLocale[] = "en_US.UTF-8";

std::vector<WriterShape> WriterShapes();

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const WriterShape& shape, std::ostream* os);

}  // namespace lorvante::test
