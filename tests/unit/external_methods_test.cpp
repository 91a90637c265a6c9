// The page's window.external: names, DISPIDs, dispatch answers and argument rules.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bridge/MessageWindow.h"
#include "bridge/WebPage.h"
#include "support/RecordingPage.h"

namespace quorvel {
namespace {

struct Delivered {
  std::string how;  // "post" or "send"
  unsigned message;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;  // the text behind lParam of WM_USER+2
  bool operator==(const Delivered&) const = default;
};

// A target window that records every message it handles, and whether it came posted.
class RecordingWindow : public MessageWindow {
 public:
  RecordingWindow() {
    for (unsigned m : {WM_CLOSE, WM_NCLBUTTONDOWN, WM_CHECKCURRENTPLAYING, WM_STORESEARCHTEXT,
                       WM_STORESERIESID, WM_SHOWSEASON, WM_ADDTOFAVS, WM_SHOWNEXTSHOWS,
                       WM_SHOWRECENTSHOWS, WM_SHOWMYSHOWS, WM_REMOVESHOW}) {
      MapMessage(m, [this, m](WPARAM w, LPARAM l) -> LRESULT {
        std::string text;
        if (m == WM_STORESEARCHTEXT) text = *reinterpret_cast<const std::string*>(l), l = 0;
        delivered.push_back({draining ? "post" : "send", m, w, l, text});
        return 0;
      });
    }
  }
  std::vector<Delivered> Drain() {
    draining = true;
    MessageWindow::DrainPosted();
    draining = false;
    return std::exchange(delivered, {});
  }
  std::vector<Delivered> delivered;
  bool draining = false;
};

class ExternalMethodsTest : public ::testing::Test {
 protected:
  std::vector<Delivered> Call(const std::string& name, std::vector<ScriptValue> args = {}) {
    EXPECT_EQ(page.InvokeByName(name, args), S_OK) << name;
    auto sent = std::exchange(window.delivered, {});
    auto posted = window.Drain();
    sent.insert(sent.end(), posted.begin(), posted.end());
    return sent;
  }
  RecordingWindow window;
  WebPage page{window};
};

// The thirteen keep their DISPIDs; OpenCalendar comes after them.
TEST_F(ExternalMethodsTest, MethodsInRegistrationOrderWithStableDispIds) {
  const std::vector<std::string> expected = {
      "OnClick",     "OnClose",    "DragWindow", "CheckCurrentPlaying", "SearchCallback",
      "GetDetails",  "ShowSeason", "AddToFavs",  "ShowNextShows",       "ShowRecentShows",
      "ShowMyShows", "RemoveShow", "OpenURL",    "OpenCalendar"};
  EXPECT_EQ(page.MethodNames(), expected);
  // The browser window defines window.external from the constant: it must name the same methods.
  EXPECT_EQ(std::vector<std::string>(kExternalMethodNames.begin(), kExternalMethodNames.end()),
            expected);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    int32_t id = 0;
    EXPECT_EQ(page.GetIDsOfNames(expected[i], &id), S_OK);
    EXPECT_EQ(id, kFirstDispId + static_cast<int32_t>(i)) << expected[i];
  }
}

TEST_F(ExternalMethodsTest, NamesAreExactAndCaseSensitive) {
  for (const char* name : {"onclose", "ONCLOSE", "OnClose ", "", "toString", "constructor"}) {
    int32_t id = 0;
    EXPECT_EQ(page.GetIDsOfNames(name, &id), DISP_E_UNKNOWNNAME) << name;
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
}

TEST_F(ExternalMethodsTest, InvokeRefusesReservedAndUnknownDispIds) {
  for (int32_t id : {0, -1, -4, 999999, 1000014, std::numeric_limits<int32_t>::max()}) {
    EXPECT_EQ(page.Invoke(id, {}), E_NOTIMPL) << id;
  }
  EXPECT_TRUE(window.Drain().empty());
}

TEST_F(ExternalMethodsTest, CommandTableDeliversTheRightMessages) {
  EXPECT_EQ(Call("OnClose"), (std::vector<Delivered>{{"post", WM_CLOSE, 0, 0, ""}}));
  EXPECT_EQ(Call("DragWindow", {ScriptValue::Of(1)}),
            (std::vector<Delivered>{{"post", WM_NCLBUTTONDOWN, HTCAPTION, 0, ""}}));
  EXPECT_EQ(Call("CheckCurrentPlaying"), (std::vector<Delivered>{{"post", WM_USER + 1, 0, 0, ""}}));
  EXPECT_EQ(Call("SearchCallback", {ScriptValue::Of("Law & Order")}),
            (std::vector<Delivered>{{"send", WM_USER + 2, 0, 0, "Law & Order"}}));
  EXPECT_EQ(Call("GetDetails", {ScriptValue::Of(73)}),
            (std::vector<Delivered>{{"post", WM_USER + 4, 0, 73, ""}}));
  EXPECT_EQ(Call("ShowSeason", {ScriptValue::Of(3)}),
            (std::vector<Delivered>{{"post", WM_USER + 6, 0, 3, ""}}));
  EXPECT_EQ(Call("AddToFavs", {ScriptValue::Of("ignored")}),
            (std::vector<Delivered>{{"post", WM_USER + 7, 0, 0, ""}}));
  EXPECT_EQ(Call("ShowNextShows"), (std::vector<Delivered>{{"post", WM_USER + 8, 0, 0, ""}}));
  EXPECT_EQ(Call("ShowRecentShows"), (std::vector<Delivered>{{"post", WM_USER + 9, 0, 0, ""}}));
  EXPECT_EQ(Call("ShowMyShows"), (std::vector<Delivered>{{"post", WM_USER + 10, 0, 0, ""}}));
  EXPECT_EQ(Call("RemoveShow", {ScriptValue::Of(-5)}),
            (std::vector<Delivered>{{"post", WM_USER + 11, 0, -5, ""}}));
}

TEST_F(ExternalMethodsTest, PostedCommandsKeepTheirOrder) {
  page.InvokeByName("ShowMyShows", {});
  page.InvokeByName("GetDetails", {ScriptValue::Of(1)});
  page.InvokeByName("ShowNextShows", {});
  page.InvokeByName("GetDetails", {ScriptValue::Of(2)});
  std::vector<unsigned> order;
  for (const auto& d : window.Drain()) order.push_back(d.message);
  EXPECT_EQ(order, (std::vector<unsigned>{WM_USER + 10, WM_USER + 4, WM_USER + 8, WM_USER + 4}));
}

TEST_F(ExternalMethodsTest, MethodsThatNeedArgumentsIgnoreOtherCounts) {
  for (const char* name : {"SearchCallback", "GetDetails", "ShowSeason", "RemoveShow", "OpenURL"}) {
    EXPECT_TRUE(Call(name).empty()) << name;
    EXPECT_TRUE(Call(name, {ScriptValue::Of(1), ScriptValue::Of(2)}).empty()) << name;
  }
  EXPECT_TRUE(Call("OnClick", {ScriptValue::Body()}).empty());
}

TEST_F(ExternalMethodsTest, SearchTextIsCutAtItsFirstNul) {
  const auto delivered = Call("SearchCallback", {ScriptValue::Of(std::string("Lost\0hidden", 11))});
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].text, "Lost");
  EXPECT_EQ(Call("SearchCallback", {ScriptValue::Of("")})[0].text, "");
}

struct IntCase {
  ScriptValue value;
  std::optional<int32_t> expected;
};

TEST(ScriptArgumentsTest, IntegerArgumentsAcceptOnlyWhole32BitValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const IntCase cases[] = {
      {ScriptValue::Of(73), 73},
      {ScriptValue::Of(-5), -5},
      {ScriptValue::Of(0), 0},
      {ScriptValue::Of(2147483647.0), 2147483647},
      {ScriptValue::Of(-2147483648.0), std::numeric_limits<int32_t>::min()},
      {ScriptValue::Of(2147483648.0), std::nullopt},
      {ScriptValue::Of(1e300), std::nullopt},
      {ScriptValue::Of(1.5), std::nullopt},
      {ScriptValue::Of(nan), std::nullopt},
      {ScriptValue::Of(inf), std::nullopt},
      {ScriptValue::Of(-inf), std::nullopt},
      {ScriptValue::Of("73"), 73},
      {ScriptValue::Of("-12"), -12},
      {ScriptValue::Of("2147483648"), std::nullopt},
      {ScriptValue::Of("99999999999999999999"), std::nullopt},
      {ScriptValue::Of(""), std::nullopt},
      {ScriptValue::Of("-"), std::nullopt},
      {ScriptValue::Of("7a"), std::nullopt},
      {ScriptValue::Of(" 7"), std::nullopt},
      {ScriptValue::Of("1.0"), std::nullopt},
      {ScriptValue::OfKind(ScriptValue::Kind::Null), std::nullopt},
      {ScriptValue::OfKind(ScriptValue::Kind::Undefined), std::nullopt},
      {ScriptValue::OfKind(ScriptValue::Kind::Object), std::nullopt},
      {ScriptValue{ScriptValue::Kind::Boolean, 0, true, {}}, std::nullopt},
      {ScriptValue::Body(), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScriptInt32(c.value), c.expected)
        << "kind " << static_cast<int>(c.value.kind) << " number " << c.value.number << " text "
        << c.value.text;
  }
}

TEST(ScriptArgumentsTest, TextArgumentsAcceptOnlyStrings) {
  EXPECT_EQ(ScriptText(ScriptValue::Of("x")), "x");
  EXPECT_EQ(ScriptText(ScriptValue::Of(3)), std::nullopt);
  EXPECT_EQ(ScriptText(ScriptValue::OfKind(ScriptValue::Kind::Null)), std::nullopt);
  EXPECT_EQ(ScriptText(ScriptValue::OfKind(ScriptValue::Kind::Object)), std::nullopt);
}

TEST_F(ExternalMethodsTest, IntegerMethodsIgnoreArgumentsOutsideTheRules) {
  for (const char* name : {"GetDetails", "ShowSeason", "RemoveShow"}) {
    EXPECT_TRUE(Call(name, {ScriptValue::Of(1.5)}).empty()) << name;
    EXPECT_TRUE(Call(name, {ScriptValue::OfKind(ScriptValue::Kind::Null)}).empty()) << name;
    EXPECT_TRUE(Call(name, {ScriptValue::Of("abc")}).empty()) << name;
  }
  EXPECT_TRUE(Call("SearchCallback", {ScriptValue::Of(5)}).empty());
}

TEST_F(ExternalMethodsTest, OnClickColoursOnlyTheBody) {
  test::RecordingPageScript script;
  page.SetScript(&script);
  page.InvokeByName("OnClick", {ScriptValue::Body(), ScriptValue::Of("green")});
  page.InvokeByName("OnClick", {ScriptValue::Of("body"), ScriptValue::Of("red")});
  page.InvokeByName("OnClick",
                    {ScriptValue::OfKind(ScriptValue::Kind::Object), ScriptValue::Of("red")});
  EXPECT_EQ(script.backgrounds, std::vector<std::string>{"green"});
  page.SetScript(nullptr);
}

}  // namespace
}  // namespace quorvel
