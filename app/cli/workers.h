#pragma once
// The worker processes of `convert -j N`: each is zandro-cli itself run as
// the hidden command `convert-worker`, converting the rows it is handed one
// at a time with its own reader and writer. The parent talks to it over two
// pipes (requests on the worker's descriptor 3, events on 4) in messages of
// length-prefixed fields, so paths may hold any byte.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "engine/conversion_inputs.h"
#include "engine/parallel_run.h"

namespace zandro::cli {

inline constexpr const char* kWorkerCommand = "convert-worker";

// The hidden command: converts rows until its request pipe closes. SIGINT
// cancels the row at hand (its unfinished target is removed).
int ConvertWorkerCommand(int argc, char** argv);

// Up to `count` workers, started when first needed. Not copyable: it owns
// the processes; the destructor closes their pipes and reaps them.
class ProcessWorkers : public RowWorkers {
 public:
  ProcessWorkers(std::size_t count, const ConvertSettings& settings);
  ~ProcessWorkers() override;
  ProcessWorkers(const ProcessWorkers&) = delete;
  ProcessWorkers& operator=(const ProcessWorkers&) = delete;

  std::size_t Capacity() const override { return count_; }
  bool Start(std::size_t index, const StatusRow& row) override;
  bool Wait(RowEvent& event, int timeoutMs) override;
  void StopAll() override;

 private:
  struct Worker {
    pid_t pid = -1;
    int requests = -1;  // write end
    int events = -1;    // read end
    std::string pending;  // bytes of events not yet whole
    bool busy = false;
    std::size_t row = 0;
  };

  bool Spawn(Worker& worker);
  void Retire(Worker& worker);

  std::size_t count_;
  ConvertSettings settings_;
  std::vector<Worker> workers_;
  std::vector<RowEvent> ready_;  // parsed, not yet handed out
};

// The number of processors this process may run on.
std::size_t ProcessorCount();

}  // namespace zandro::cli
