#include "platform/PageScriptText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using Kind = QueuedPageCall::Kind;

TEST(ScriptIdentifier, AcceptsOnlyPlainNamesThatCannotChangeTheScript) {
  struct Row {
    const char* name;
    bool accepted;
  };
  const Row rows[] = {
      {"PopulateCurentlyPlayingTable", true},
      {"initFinish", true},
      {"_private", true},
      {"$jq", true},
      {"a1", true},
      {"", false},
      {"1abc", false},
      {"a-b", false},
      {"a b", false},
      {"a;alert(1)", false},
      {"f()", false},
      {"x.y", false},
      {"Zoë", false},
      {"return", false},
      {"this", false},
      {"arguments", false},
      {"await", false},
      {"$quorvelData", false},
      {"$quorvel", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsScriptIdentifier(row.name), row.accepted) << '"' << row.name << '"';
  }
}

TEST(ExternalObjectScript, DefinesEachValidMethodOnceAndSkipsTheRest) {
  const std::string script =
      ExternalObjectScript({"OnClick", "OnClose", "bad name", "OpenURL"}, "channel", "tok3n");
  for (const char* name : {"OnClick", "OnClose", "OpenURL"}) {
    const std::string definition = std::string("external.") + name + " = method('" + name + "')";
    EXPECT_NE(script.find(definition), std::string::npos) << name;
  }
  EXPECT_EQ(script.find("bad name"), std::string::npos);
  EXPECT_NE(script.find("handlers.channel;"), std::string::npos);
  EXPECT_NE(script.find("'tok3n'"), std::string::npos);
}

TEST(ExternalObjectScript, RefusesAChannelOrTokenThatIsNotPlain) {
  EXPECT_EQ(ExternalObjectScript({"OnClose"}, "a.b", "token"), "");
  EXPECT_EQ(ExternalObjectScript({"OnClose"}, "channel", "to'ken"), "");
  EXPECT_EQ(ExternalObjectScript({"OnClose"}, "channel", ""), "");
}

TEST(PageCallBatchData, EscapesEveryValueAsAJsonString) {
  const std::vector<QueuedPageCall> calls = {
      {Kind::Function, "F", {"\"); window.external.OnClose(); (\"", "</script><b>x"}},
      {Kind::Function, "G", {}},
      {Kind::Function, "H", {"back\\slash", "line\nbreak\ttab\x01", "Zoë 🎬"}},
  };
  EXPECT_EQ(PageCallBatchData(calls),
            "[[\"\\\"); window.external.OnClose(); (\\\"\",\"</script><b>x\"],[],"
            "[\"back\\\\slash\",\"line\\u000abreak\\u0009tab\\u0001\",\"Zoë 🎬\"]]");
}

TEST(PageCallBatchData, KeepsNulsAndRepairsInvalidUtf8) {
  const std::vector<QueuedPageCall> calls = {
      {Kind::Function,
       "F",
       {std::string("a\0b", 3),
        "x\xff"
        "y",
        std::string("\xc3\0", 2)}},
  };
  EXPECT_EQ(PageCallBatchData(calls),
            "[[\"a\\u0000b\",\"x\xef\xbf\xbdy\",\"\xef\xbf\xbd\\u0000\"]]");
}

TEST(PageCallBatchData, NoCallsIsAnEmptyArray) {
  EXPECT_EQ(PageCallBatchData({}), "[]");
}

TEST(PageCallBatchBody, RunsOfOneFunctionBecomeOneLoopInOrder) {
  std::vector<QueuedPageCall> calls;
  calls.push_back({Kind::Function, "ShowResults", {}});
  for (int i = 0; i < 3; ++i) calls.push_back({Kind::Function, "PopulateSearchTable", {"x"}});
  calls.push_back({Kind::Function, "initFinish", {}});
  const std::string body = PageCallBatchBody(calls);

  const auto first = body.find("try{ShowResults(...$quorvelData[0])}");
  const auto loop = body.find(
      "for (let $quorvelK = 1; $quorvelK < 4; $quorvelK++) "
      "try{PopulateSearchTable(...$quorvelData[$quorvelK])}");
  const auto last = body.find("try{initFinish(...$quorvelData[4])}");
  ASSERT_NE(first, std::string::npos) << body;
  ASSERT_NE(loop, std::string::npos) << body;
  ASSERT_NE(last, std::string::npos) << body;
  EXPECT_LT(first, loop);
  EXPECT_LT(loop, last);
  EXPECT_NE(body.find("JSON.parse($quorvelCalls)"), std::string::npos);
  EXPECT_NE(body.rfind("return $quorvelErrors;"), std::string::npos);
}

TEST(PageCallBatchBody, SkipsNamesThatAreNotIdentifiersButKeepsTheOthersIndexed) {
  const std::string body =
      PageCallBatchBody({{Kind::Function, "alert(1)//", {}}, {Kind::Function, "initFinish", {}}});
  EXPECT_EQ(body.find("alert"), std::string::npos);
  EXPECT_NE(body.find("try{initFinish(...$quorvelData[1])}"), std::string::npos);
}

TEST(PageCallBatchBody, HostOperationsReadTheirValueFromTheData) {
  const std::string body =
      PageCallBatchBody({{Kind::BodyBackground, "", {"red"}}, {Kind::HideScrollBars, "", {}}});
  EXPECT_NE(body.find("document.body.style.backgroundColor=$quorvelData[0][0]"), std::string::npos);
  EXPECT_NE(body.find("document.body.style.overflow='hidden'"), std::string::npos);
  EXPECT_EQ(body.find("red"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
