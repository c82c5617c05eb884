// The JSON written directly must be the text serialise() makes of the same values, byte for
// byte: clients see one or the other depending on the request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bin/tolu_lsp/json_rpc.h"
#include "bin/tolu_lsp/json_writer.h"

namespace tolu::lsp {
namespace {

TEST(JsonWriter, StringsAreEscapedAsSerialiseEscapesThem) {
  const std::vector<std::string> strings = {
      "",
      "plain name",
      "quote \" and backslash \\",
      "\b\f\n\r\t",
      std::string("nul \0 and \x01 \x1f", 14),
      "del \x7f stays",
      "caf\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x98\x80",  // two-, three- and four-byte characters
      "bad \xff byte",
      "cut \xe2\x86",  // a character cut short
      "\xc0\xaf overlong",
  };
  for (const std::string& s : strings) {
    SCOPED_TRACE(serialise(Json(s)));
    JsonWriter out;
    out.value(s);
    EXPECT_EQ(out.text(), serialise(Json(s)));
  }
}

TEST(JsonWriter, RangesMatchTheTree) {
  for (const Range& range : {Range{{0, 0}, {0, 0}}, Range{{7, 12}, {4294967295u, 4294967295u}}}) {
    JsonWriter out;
    out.begin_array();
    out.value(1);
    out.range(range);
    out.range(range);
    out.end_array();
    const Json position_start = {{"line", range.start.line}, {"character", range.start.character}};
    const Json position_end = {{"line", range.end.line}, {"character", range.end.character}};
    const Json tree = {{"start", position_start}, {"end", position_end}};
    EXPECT_EQ(out.text(), serialise(Json::array({1, tree, tree})));
  }
}

TEST(JsonWriter, NestedValuesMatchTheTree) {
  JsonWriter out;
  out.begin_object();
  out.key("a");
  out.begin_array();
  out.value(-3);
  out.value(std::uint32_t{4000000000});
  out.begin_object();
  out.end_object();
  out.begin_array();
  out.end_array();
  out.value("x");
  out.end_array();
  out.key("b");
  out.begin_object();
  out.key("c");
  out.value(std::int64_t{0});
  out.end_object();
  out.end_object();
  const Json tree = {{"a", {-3, 4000000000u, Json::object(), Json::array(), "x"}},
                     {"b", {{"c", 0}}}};
  EXPECT_EQ(out.text(), serialise(tree));
  std::string reply = "left over";
  result_reply_text("id-1", out.text(), reply);
  EXPECT_EQ(reply, serialise(result_reply("id-1", tree)));
  result_reply_text(7, "[]", reply);
  EXPECT_EQ(reply, serialise(result_reply(7, Json::array())));
}

}  // namespace
}  // namespace tolu::lsp
