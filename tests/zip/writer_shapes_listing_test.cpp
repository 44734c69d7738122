// The listing of sound archives in the unusual shapes of real writers
// (tests/support/writer_shapes.h): every entry listed under the name the unzip library writes,
// valid UTF-8 whatever the bytes stored.
#include "platform/oem_names.h"
#include "tests/support/writer_shapes.h"
#include "tests/zip/reader_fixture.h"

namespace lorvante::test {
namespace {

class WriterShapeListingTest : public ReaderTest,
                               public testing::WithParamInterface<WriterShape> {};

TEST_P(WriterShapeListingTest, ListsEveryEntryUnderItsName) {
  const WriterShape& shape = GetParam();
  if (shape.writer != nullptr && Which(shape.writer).empty()) {
    GTEST_SKIP() << shape.writer << " is missing (scripts/setup installs it)";
  }
  const std::string path = Write(shape.make());
  const ScopedEnv locale("LC_ALL", kWriterShapesLocale);
  ASSERT_EQ(Assign(path), "");
  EXPECT_EQ(Names(), shape.listed);
  for (const std::string& name : Names()) EXPECT_TRUE(IsUtf8(name)) << name;
  EXPECT_EQ(changes_, 1);
}

INSTANTIATE_TEST_SUITE_P(Shapes, WriterShapeListingTest, testing::ValuesIn(WriterShapes()),
                         [](const testing::TestParamInfo<WriterShape>& tp) {
                           return std::string(tp.param.label);
                         });

}  // namespace
}  // namespace lorvante::test
