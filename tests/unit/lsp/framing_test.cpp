// Content-Length framing: frames cut anywhere, run together, oversized, with CRLF or bare LF
// header lines, and the reader finding its way back after a bad header.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bin/tolu_lsp/framing.h"

namespace tolu::lsp {
namespace {

struct Read {
  std::vector<std::string> bodies;
  std::vector<std::string> problems;
};

Read drain(FrameReader& reader) {
  Read read;
  while (auto event = reader.next()) {
    (event->kind == FrameEvent::Kind::Body ? read.bodies : read.problems).push_back(event->text);
  }
  return read;
}

Read read_in_pieces(std::string_view stream, std::size_t piece, std::size_t max_body = 1000) {
  FrameReader reader(max_body);
  Read all;
  for (std::size_t i = 0; i < stream.size(); i += piece) {
    reader.feed(stream.substr(i, piece));
    Read read = drain(reader);
    all.bodies.insert(all.bodies.end(), read.bodies.begin(), read.bodies.end());
    all.problems.insert(all.problems.end(), read.problems.begin(), read.problems.end());
  }
  return all;
}

TEST(Framing, FramesComeOutWholeHoweverTheStreamIsCut) {
  const std::string stream = frame(R"({"a":1})") + frame("") + frame("x\r\n\r\ny") +
                             "Content-Type: application/vscode-jsonrpc; charset=utf-8\r\n"
                             "content-length: 2\r\n\r\n{}";
  for (const std::size_t piece : {1, 2, 3, 7, 16, 1000}) {
    SCOPED_TRACE(piece);
    const Read read = read_in_pieces(stream, piece);
    EXPECT_EQ(read.bodies, (std::vector<std::string>{R"({"a":1})", "", "x\r\n\r\ny", "{}"}));
    EXPECT_TRUE(read.problems.empty());
  }
}

TEST(Framing, HeaderLinesMayEndInABareLineFeed) {
  const Read read = read_in_pieces("Content-Length: 3\n\nabcContent-Length: 1\r\n\nz", 5);
  EXPECT_EQ(read.bodies, (std::vector<std::string>{"abc", "z"}));
  EXPECT_TRUE(read.problems.empty());
}

TEST(Framing, ABadHeaderIsReportedAndReadingResumesAtTheNextLengthHeader) {
  struct Case {
    const char* name;
    std::string stream;
  };
  const std::vector<Case> cases = {
      {"no length", "Content-Type: x\r\n\r\ngarbage" + frame("ok")},
      {"not a number", "Content-Length: 1x\r\n\r\n" + frame("ok")},
      {"negative", "Content-Length: -4\r\n\r\n" + frame("ok")},
      {"line without colon", "hello\r\n" + frame("ok")},
      {"conflicting lengths", "Content-Length: 2\r\nContent-Length: 3\r\n\r\n" + frame("ok")},
      {"overflowing length", "Content-Length: 99999999999999999999999\r\n\r\n" + frame("ok")},
      {"endless header", std::string(20000, 'h') + frame("ok")},
  };
  for (const Case& c : cases) {
    for (const std::size_t piece : {1, 9, 100000}) {
      SCOPED_TRACE(std::string(c.name) + " in pieces of " + std::to_string(piece));
      const Read read = read_in_pieces(c.stream, piece);
      EXPECT_EQ(read.bodies, std::vector<std::string>{"ok"});
      EXPECT_EQ(read.problems.size(), 1u);
    }
  }
}

TEST(Framing, AnOversizedFrameIsSkippedWithoutBeingKept) {
  FrameReader reader(/*max_body=*/100);
  reader.feed("Content-Length: 100000\r\n\r\n");
  const std::string chunk(1000, '{');
  for (int i = 0; i < 100; ++i) {
    reader.feed(chunk);
    EXPECT_LT(reader.buffered(), 200u);
  }
  reader.feed(frame("[1]"));
  const Read read = drain(reader);
  EXPECT_EQ(read.bodies, std::vector<std::string>{"[1]"});
  ASSERT_EQ(read.problems.size(), 1u);
  EXPECT_NE(read.problems[0].find("100000"), std::string::npos);
}

TEST(Framing, ABodyAtTheLimitIsKept) {
  const Read read = read_in_pieces(frame(std::string(1000, 'a')), 333, 1000);
  ASSERT_EQ(read.bodies.size(), 1u);
  EXPECT_EQ(read.bodies[0].size(), 1000u);
}

TEST(Framing, TheWriterAnnouncesTheLengthInBytes) {
  EXPECT_EQ(frame("é"), "Content-Length: 2\r\n\r\né");
}

}  // namespace
}  // namespace tolu::lsp
