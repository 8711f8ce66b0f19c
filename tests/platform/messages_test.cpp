#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "zplatform/diagnostics.h"
#include "zplatform/messages.h"
#include "zplatform/tick.h"

namespace {

using namespace zplatform;

TEST(Messages, EachKindCarriesItsCaption) {
  testing_support::MessageRecorder recorder;
  ShowMessage(MessageKind::Plain, "p");
  ShowMessage(MessageKind::Information, "i");
  ShowMessage(MessageKind::Error, "e");
  recorder.confirmAnswer = MessageAnswer::No;
  EXPECT_EQ(ShowMessage(MessageKind::Confirm, "c"), MessageAnswer::No);
  ASSERT_EQ(recorder.messages.size(), 4u);
  EXPECT_EQ(recorder.messages[0].caption, "Zandro");
  EXPECT_EQ(recorder.messages[1].caption, "Information");
  EXPECT_EQ(recorder.messages[2].caption, "Error");
  EXPECT_EQ(recorder.messages[3].caption, "Confirm");
}

TEST(Messages, SinksNestAndRestore) {
  MessageSink& before = Messages();
  {
    testing_support::MessageRecorder outer;
    {
      testing_support::MessageRecorder inner;
      ShowMessage(MessageKind::Plain, "to inner");
      EXPECT_EQ(inner.messages.size(), 1u);
    }
    ShowMessage(MessageKind::Plain, "to outer");
    EXPECT_EQ(outer.Texts(), std::vector<std::string>{"to outer"});
  }
  EXPECT_EQ(&Messages(), &before);
}

TEST(Diagnostics, LinesGoToTheInstalledSink) {
  std::vector<std::string> lines;
  SetDiagnosticSink([&](std::string_view line) { lines.emplace_back(line); });
  Diagnostic("one");
  Diagnostic("two");
  SetDiagnosticSink({});
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
}

TEST(Tick, CountsForwardInMilliseconds) {
  const std::uint32_t first = TickCount();
  const std::uint32_t second = TickCount();
  EXPECT_LT(static_cast<std::uint32_t>(second - first), 60'000u);  // unsigned: wrap-safe
}

}  // namespace
