// Sound archives in the unusual shapes of real writers (tests/support/writer_shapes.h): every
// entry extracted, as 7-Zip extracts it byte for byte, under a name that is valid UTF-8 even
// where 7-Zip keeps the stored bytes.
#include "tests/support/writer_shapes.h"

#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using lorvante::test::Which;
using lorvante::test::WriterShape;

class WriterShapeTest : public UnzTest, public ::testing::WithParamInterface<WriterShape> {};

// Every path below `root` that is not valid UTF-8, as Python's strict decoder reads it (not the
// program's own check).
std::string NamesNotUtf8(const std::string& root) {
  const auto run =
      lorvante::test::Run({Which("python3"), "-c",
                           "import os, sys\n"
                           "for folder, subfolders, files in os.walk(os.fsencode(sys.argv[1])):\n"
                           "    for name in subfolders + files:\n"
                           "        try:\n"
                           "            name.decode('utf-8', 'strict')\n"
                           "        except UnicodeDecodeError:\n"
                           "            print(repr(name))\n",
                           root});
  if (run.status != 0) return "python3 failed: " + run.err;
  return run.out;
}

TEST_P(WriterShapeTest, EveryEntryIsExtractedAsSevenZipExtractsIt) {
  const WriterShape& shape = GetParam();
  if (shape.writer != nullptr && Which(shape.writer).empty()) {
    GTEST_SKIP() << shape.writer << " is missing (scripts/setup installs it)";
  }
  lorvante::test::WriteBytes(archive(), shape.make());

  HostRun run;
  {
    const lorvante::test::ScopedEnv locale("LC_ALL", lorvante::test::kWriterShapesLocale);
    run = Run();
  }
  EXPECT_TRUE(run.Skips().empty()) << run.Messages();
  EXPECT_TRUE(run.Of(UNZ_ACTION_RUN_REFUSED).empty()) << run.Messages();
  EXPECT_EQ(Tree(target()), shape.tree) << run.Messages();
  EXPECT_EQ(NamesNotUtf8(target()), "");

  if (Which("7z").empty()) return;
  const std::string peer = dir_.path() + "/peer";
  // 7-Zip reports unused bytes after a stream and a short directory size as errors, and
  // extracts every entry all the same.
  static_cast<void>(lorvante::test::Run({Which("7z"), "x", "-y", "-o" + peer, archive()}));
  for (const std::string& path : shape.tree) {
    SCOPED_TRACE(path);
    const auto renamed = shape.peer_names.find(path);
    const std::string theirs =
        peer + "/" + (renamed != shape.peer_names.end() ? renamed->second : path);
    ASSERT_TRUE(std::filesystem::exists(theirs));
    if (path.back() == '/') {
      EXPECT_TRUE(std::filesystem::is_directory(theirs));
    } else {
      EXPECT_EQ(ReadBytes(In(path)), ReadBytes(theirs));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, WriterShapeTest,
                         ::testing::ValuesIn(lorvante::test::WriterShapes()),
                         [](const auto& param_info) {
                           return std::string(param_info.param.label);
                         });

}  // namespace
}  // namespace unzdll::test
