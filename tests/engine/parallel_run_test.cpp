// The parallel run's rules, with workers played by a script: rows finish
// out of order, fail when told, and write nothing but a marker file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "engine/parallel_run.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

struct View : ConversionView {
  std::vector<std::string> finals;  // final statuses in the order shown
  std::function<void(int)> onPump;
  int pumps = 0;
  bool completed = false;
  void SetTotalMaximum(std::size_t) override {}
  void SetTotalProgress(std::size_t) override {}
  void SetFileProgress(int) override {}
  void ShowCurrentRow(std::size_t) override {}
  void SetRowStatus(std::size_t row, const std::string& status) override {
    if (status != kStatusConverting) finals.push_back(std::to_string(row) + " " + status);
  }
  void SetRowTarget(std::size_t, const std::string&) override {}
  void SetTimes(const std::string&, const std::string&) override {}
  void PumpEvents() override {
    if (onPump) onPump(++pumps);
  }
  void RunCompleted() override { completed = true; }
};

struct Prompt : OverwritePrompt {
  std::vector<std::string> asked;
  FileExistReply reply{FileExistAnswer::Skip, ""};
  FileExistReply Ask(const std::string& path) override {
    asked.push_back(fs::path(path).filename().string());
    return reply;
  }
};

// The last row started finishes first; a row's target appears when it ends
// Done (a real worker writes it under a temporary name the run then places).
struct Workers : RowWorkers {
  std::size_t capacity = 2;
  std::vector<std::size_t> running;
  std::vector<std::pair<std::size_t, std::size_t>> starts;  // row, rows running beside it then
  std::map<std::size_t, int> attempts;
  std::map<std::size_t, bool> accompanied;
  std::map<std::size_t, std::string> targets;
  std::function<std::string(std::size_t row, int attempt, bool accompanied)> outcome =
      [](std::size_t, int, bool) { return std::string(kStatusDone); };
  int stops = 0;

  std::size_t Capacity() const override { return capacity; }
  bool Start(std::size_t index, const StatusRow& row) override {
    starts.emplace_back(index, running.size());
    for (std::size_t other : running) accompanied[other] = true;
    accompanied[index] = !running.empty();
    running.push_back(index);
    targets[index] = row.target;
    ++attempts[index];
    return true;
  }
  bool Wait(RowEvent& event, int) override {
    if (running.empty()) return false;
    const std::size_t row = running.back();
    running.pop_back();
    event.kind = RowEvent::Kind::Finished;
    event.row = row;
    event.status = stops > 0 ? std::string(kStatusCancelled) : outcome(row, attempts[row], accompanied[row]);
    if (event.status == kStatusDone) {
      // As a real worker leaves it: complete, under its temporary name.
      std::string reason;
      auto written = zplatform::PendingFile::Create(targets[row], reason);
      EXPECT_TRUE(written) << reason;
      testing_support::WriteBytes(written->Path(), {1});
      event.written = written->Release();
    }
    return true;
  }
  void StopAll() override { ++stops; }
};

class Parallel : public testing::Test {
 protected:
  StatusRow Row(const std::string& source, const std::string& target) {
    StatusRow row;
    row.source = dir.File(source);
    row.target = dir.File(target);
    return row;
  }
  TempDir dir;
  MessageRecorder messages;
  View view;
  Prompt prompt;
  Workers workers;
};

TEST_F(Parallel, StatusesReachTheViewInRowOrder) {
  ParallelConversionRun run({Row("a", "a.out"), Row("b", "b.out"), Row("c", "c.out"), Row("d", "d.out")}, view,
                            prompt, workers);
  run.Run();
  EXPECT_EQ(view.finals, (std::vector<std::string>{"0 Done", "1 Done", "2 Done", "3 Done"}));
  EXPECT_TRUE(run.Completed());
  EXPECT_TRUE(view.completed);
  EXPECT_EQ(workers.starts[1].second, 1u);  // two at once
}

TEST_F(Parallel, ARowSharingATargetIsDecidedOnlyAfterTheOtherEnded) {
  for (const char* first : {"Done", "Error"}) {
    SCOPED_TRACE(first);
    Workers shared;
    shared.outcome = [first](std::size_t row, int, bool) { return row == 0 ? std::string(first) : "Done"; };
    Prompt asked;
    View shown;
    fs::remove(dir.File("same.out"));
    ParallelConversionRun run({Row("a", "same.out"), Row("b", "same.out")}, shown, asked, shared);
    run.Run();
    if (std::string(first) == "Done") {
      // The first one's target is there: the second meets the question.
      EXPECT_EQ(asked.asked, std::vector<std::string>{"same.out"});
      EXPECT_EQ(shown.finals, (std::vector<std::string>{"0 Done", "1 Skipped"}));
    } else {
      // The failed first one left nothing: the second is free.
      EXPECT_TRUE(asked.asked.empty());
      EXPECT_EQ(shown.finals, (std::vector<std::string>{"0 Error", "1 Done"}));
      ASSERT_EQ(shared.starts.size(), 2u);
      EXPECT_EQ(shared.starts[1].second, 0u);  // started alone
    }
  }
}

TEST_F(Parallel, AnErrorBesideAnotherRowIsTriedAgainAlone) {
  // Row 1 fails whenever it has company, as on a disk the two fill.
  workers.outcome = [](std::size_t row, int, bool accompanied) {
    return row == 1 && accompanied ? std::string(kStatusError) : std::string(kStatusDone);
  };
  ParallelConversionRun run({Row("a", "a.out"), Row("b", "b.out"), Row("c", "c.out")}, view, prompt, workers);
  run.Run();
  EXPECT_EQ(view.finals, (std::vector<std::string>{"0 Done", "1 Done", "2 Done"}));
  EXPECT_EQ(workers.attempts[1], 2);
  const auto second = std::find_if(workers.starts.rbegin(), workers.starts.rend(),
                                   [](const auto& start) { return start.first == 1; });
  EXPECT_EQ(second->second, 0u);
}

TEST_F(Parallel, CancelStopsTheRunningRowsAndStartsNoMore) {
  ParallelConversionRun run({Row("a", "a.out"), Row("b", "b.out"), Row("c", "c.out"), Row("d", "d.out")}, view,
                            prompt, workers);
  view.onPump = [&run](int pump) {
    if (pump == 2) run.PressButton();
  };
  run.Run();
  EXPECT_EQ(workers.stops, 1);
  EXPECT_EQ(run.Rows()[0].status, "Cancelled");
  EXPECT_EQ(run.Rows()[1].status, "Done");  // it ended before the button
  EXPECT_EQ(run.Rows()[2].status, "Waiting");
  EXPECT_EQ(run.Rows()[3].status, "Waiting");
  EXPECT_EQ(workers.starts.size(), 2u);
  EXPECT_FALSE(run.Completed());
  EXPECT_FALSE(view.completed);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"You have canceled converting process"});
}

TEST_F(Parallel, ARowRenamedOntoARunningTargetAndThenCancelledStaysWaiting) {
  // Row 1's new name is row 0's target: it waits for row 0, and the cancel
  // comes first, so its audio never starts.
  testing_support::WriteBytes(dir.File("b.out"), {1});
  prompt.reply = {FileExistAnswer::UseNewName, "a.out"};
  ParallelConversionRun run({Row("a", "a.out"), Row("b", "b.out")}, view, prompt, workers);
  view.onPump = [&run](int pump) {
    if (pump == 2) run.PressButton();
  };
  run.Run();
  EXPECT_EQ(prompt.asked, std::vector<std::string>{"b.out"});
  EXPECT_EQ(workers.starts.size(), 1u);
  EXPECT_EQ(run.Rows()[1].status, "Waiting");
  EXPECT_EQ(view.finals.back(), "1 Waiting");
}

}  // namespace
