// The lines a chat connection keeps waiting while its server reads nothing:
// held to their bound, pose reports making way first, never a line cut.
#include <gtest/gtest.h>

#include <string>

#include "engine/world/chat/ChatConnection.h"
#include "engine/world/chat/ChatLimits.h"

namespace vx {
namespace {

// A line of exactly that many bytes, its number in front.
std::string LineOf(size_t bytes, int number) {
  std::string line = std::to_string(number) + ":";
  line.resize(bytes - 2, 'x');
  return line + "\r\n";
}

// Everything waiting, in the order it goes out.
std::string Waiting(const COutgoingLines& lines) {
  std::string bytes;
  lines.Peek(bytes, kMaxQueuedSendBytes);
  return bytes;
}

constexpr size_t kLine = 256;
constexpr int kLinesThatFit = static_cast<int>(kMaxQueuedSendBytes / kLine);

TEST(OutgoingLines, PoseReportsMakeWayOldestFirstAndOtherLinesAreNeverDropped) {
  COutgoingLines lines;
  for (int i = 0; i < kLinesThatFit; ++i)
    ASSERT_TRUE(lines.Push(LineOf(kLine, i), i % 2 == 0 ? LineKind::kPoseReport : LineKind::kRequired));
  EXPECT_EQ(lines.Bytes(), kMaxQueuedSendBytes);

  // Room for two lines: the two oldest reports, 0 and 2, go.
  ASSERT_TRUE(lines.Push(LineOf(kLine, 1000), LineKind::kRequired));
  ASSERT_TRUE(lines.Push(LineOf(kLine, 1001), LineKind::kPoseReport));
  EXPECT_EQ(lines.Bytes(), kMaxQueuedSendBytes);
  std::string waiting = Waiting(lines);
  EXPECT_TRUE(waiting.starts_with(LineOf(kLine, 1) + LineOf(kLine, 3) + LineOf(kLine, 4)));
  EXPECT_TRUE(waiting.ends_with(LineOf(kLine, 1000) + LineOf(kLine, 1001)));

  // Once every report has gone, a new line finds no room and nothing else
  // is dropped for it.
  for (int i = 0; i < kLinesThatFit / 2 - 1; ++i) ASSERT_TRUE(lines.Push(LineOf(kLine, 2000 + i), LineKind::kRequired));
  waiting = Waiting(lines);
  EXPECT_EQ(waiting.find(LineOf(kLine, 1001)), std::string::npos);
  EXPECT_FALSE(lines.Push(LineOf(kLine, 3000), LineKind::kRequired));
  EXPECT_FALSE(lines.Push(LineOf(kLine, 3001), LineKind::kPoseReport));
  EXPECT_EQ(Waiting(lines), waiting);
  EXPECT_FALSE(lines.Push("\r\n", LineKind::kRequired)) << "not even a byte past the bound";
}

TEST(OutgoingLines, BytesGoOutAcrossLinesAndALineBegunIsNeverDropped) {
  COutgoingLines lines;
  ASSERT_TRUE(lines.Push("first\r\n", LineKind::kPoseReport));
  ASSERT_TRUE(lines.Push("second\r\n", LineKind::kPoseReport));
  std::string bytes;
  lines.Peek(bytes, 10);
  EXPECT_EQ(bytes, "first\r\nsec");
  lines.Consume(3);
  lines.Peek(bytes, 100);
  EXPECT_EQ(bytes, "st\r\nsecond\r\n");
  EXPECT_EQ(lines.Bytes(), bytes.size());

  // Filled up behind them, "second" makes way, the rest of "first" not.
  while (lines.Bytes() + kLine <= kMaxQueuedSendBytes) ASSERT_TRUE(lines.Push(LineOf(kLine, 0), LineKind::kRequired));
  const size_t room = kMaxQueuedSendBytes - lines.Bytes();
  const size_t second = std::string("second\r\n").size();
  EXPECT_FALSE(lines.Push(LineOf(room + second + 1, 1), LineKind::kRequired));
  ASSERT_TRUE(lines.Push(LineOf(room + second, 1), LineKind::kRequired));
  lines.Peek(bytes, 2 * kLine);
  EXPECT_TRUE(bytes.starts_with("st\r\n" + LineOf(kLine, 0))) << bytes.substr(0, 16);
  lines.Consume(lines.Bytes());
  EXPECT_TRUE(lines.Empty());
  EXPECT_EQ(lines.Bytes(), 0u);
}

}  // namespace
}  // namespace vx
