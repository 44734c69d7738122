// What the program and its confined unzip process say to each other: every record comes back as
// it was sent, in order, over a real socket, and a record that is cut or bent is refused rather
// than read past its end.
#include "zip/unzip_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace lorvante::unzip_channel {
namespace {

TEST(UnzipChannel, TheCallComesBackAsSent) {
  const TUnzipFileSpec specs[2] = {{"adatok/*.txt", {}}, {"", {}}};
  TUnzipParams params{};
  params.Update = UNZ_FLAG_TRUE;
  params.KeepFolders = UNZ_FLAG_TRUE;
  params.ArchivePath = "/tmp/run/adatok.zip";
  params.TargetFolder = "/home/user/ki/";
  params.Password = "jelszó";
  params.SpecCount = 2;
  params.Specs = specs;
  const std::optional<Call> call = Call::Decode(Call::From(params).Encode());
  ASSERT_TRUE(call);
  EXPECT_EQ(call->update, UNZ_FLAG_TRUE);
  EXPECT_EQ(call->keep_folders, UNZ_FLAG_TRUE);
  EXPECT_EQ(call->freshen, 0);
  EXPECT_EQ(call->archive, "/tmp/run/adatok.zip");
  EXPECT_EQ(call->target, "/home/user/ki/");
  EXPECT_EQ(call->password, std::optional<std::string>("jelszó"));
  EXPECT_EQ(call->specs, (std::vector<std::string>{"adatok/*.txt", ""}));

  params.Password = nullptr;
  params.SpecCount = 0;
  EXPECT_EQ(Call::Decode(Call::From(params).Encode())->password, std::nullopt);
}

TEST(UnzipChannel, CutOrBentRecordsAreRefused) {
  const std::string call = Call::From(TUnzipParams{}).Encode();
  const std::string record =
      Record{Kind::kQuestion, UNZ_ACTION_TARGET_EXISTS, 1, 0, "régi.txt"}.Encode();
  const std::string answer = Answer{0, 0, 1, ""}.Encode();
  for (std::size_t cut = 0; cut < call.size(); ++cut)
    EXPECT_FALSE(Call::Decode(call.substr(0, cut)));
  for (std::size_t cut = 0; cut < record.size(); ++cut) {
    EXPECT_FALSE(Record::Decode(record.substr(0, cut)));
  }
  for (std::size_t cut = 0; cut < answer.size(); ++cut) {
    EXPECT_FALSE(Answer::Decode(answer.substr(0, cut)));
  }
  EXPECT_FALSE(Record::Decode("X" + record.substr(1))) << "an unknown kind";
  EXPECT_FALSE(Record::Decode(record + "x")) << "bytes after the record";
  std::string negative = record;
  negative[negative.size() - std::string("régi.txt").size() - 4] = '\xff';  // length < 0
  EXPECT_FALSE(Record::Decode(negative));
}

TEST(UnzipChannel, FramesCrossASocketInOrderAndTheEndIsSeen) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  constexpr int kRecords = 5000;  // more than the socket holds at once
  std::thread sender([&] {
    FrameSocket out(pair[1]);
    for (int i = 0; i < kRecords; ++i) {
      out.Queue(
          Record{Kind::kReport, UNZ_ACTION_PROGRESS, 0, i, std::string(i % 600, 'x')}.Encode());
      if (i % 97 == 0) {
        EXPECT_TRUE(out.Flush());
      }
    }
    EXPECT_TRUE(out.Flush());
    close(pair[1]);
  });
  FrameSocket in(pair[0]);
  for (int i = 0; i < kRecords; ++i) {
    const auto frame = in.Receive();
    ASSERT_TRUE(frame && *frame) << i;
    const std::optional<Record> record = Record::Decode(**frame);
    ASSERT_TRUE(record) << i;
    EXPECT_EQ(record->value, i);
    EXPECT_EQ(record->text.size(), static_cast<std::size_t>(i % 600));
  }
  const auto end = in.Receive();
  ASSERT_TRUE(end);
  EXPECT_FALSE(*end) << "the end of the stream";
  sender.join();
  close(pair[0]);
}

}  // namespace
}  // namespace lorvante::unzip_channel
