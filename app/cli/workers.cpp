#include "cli/workers.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>

#include "engine/conversion_run.h"
#include "zplatform/tick.h"

namespace zandro::cli {

namespace {

constexpr int kRequestFd = 3;
constexpr int kEventFd = 4;

// A message: fields written as "<length>:<bytes>", closed by a newline.
std::string Encode(const std::vector<std::string>& fields) {
  std::string out;
  for (const std::string& field : fields) out += std::to_string(field.size()) + ':' + field;
  return out + '\n';
}

// Takes one whole message off the front of `buffer`; nothing while it is
// not all there. A malformed one empties the buffer and gives no fields.
std::optional<std::vector<std::string>> Decode(std::string& buffer) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (at < buffer.size() && buffer[at] != '\n') {
    std::size_t length = 0;
    std::size_t digits = at;
    while (digits < buffer.size() && digits - at < 10 && buffer[digits] >= '0' && buffer[digits] <= '9') {
      length = length * 10 + static_cast<std::size_t>(buffer[digits] - '0');
      ++digits;
    }
    if (digits == buffer.size()) return std::nullopt;
    if (digits == at || buffer[digits] != ':') {
      buffer.clear();
      return std::vector<std::string>{};
    }
    if (buffer.size() - digits - 1 < length) return std::nullopt;
    fields.push_back(buffer.substr(digits + 1, length));
    at = digits + 1 + length;
  }
  if (at == buffer.size()) return std::nullopt;
  buffer.erase(0, at + 1);
  return fields;
}

bool WriteAll(int fd, const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// ---- the worker's side

volatile std::sig_atomic_t workerInterrupted = 0;

void OnWorkerInterrupt(int) { workerInterrupted = 1; }

class EventProgress : public TransferProgress {
 public:
  explicit EventProgress(std::size_t row) : row_(std::to_string(row)) {}
  void SetFileProgress(int percent) override {
    if (percent == percent_) return;
    percent_ = percent;
    Send({}, {});
  }
  void SetTimes(const std::string& elapsed, const std::string& remain) override { Send(elapsed, remain); }
  void PumpEvents() override {}
  bool Stopped() const override { return workerInterrupted != 0; }

 private:
  void Send(const std::string& elapsed, const std::string& remain) {
    WriteAll(kEventFd, Encode({"progress", row_, std::to_string(percent_), elapsed, remain}));
  }
  std::string row_;
  int percent_ = -1;
};

}  // namespace

int ConvertWorkerCommand(int, char**) {
  struct sigaction action {};
  action.sa_handler = OnWorkerInterrupt;  // every SIGINT only cancels: the parent decides what ends
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::string buffer;
  char chunk[4096];
  for (;;) {
    std::optional<std::vector<std::string>> message = Decode(buffer);
    if (!message) {
      const ssize_t got = read(kRequestFd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return 0;  // the parent is done with us
      buffer.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    // "row", index, source, target, kind, then rate, channels, bit rate per stream.
    const std::vector<std::string>& f = *message;
    if (f.size() < 5 || f[0] != "row" || (f.size() - 5) % 3 != 0) return 2;
    StatusRow row;
    row.source = f[2];
    row.target = f[3];
    ConvertSettings settings;
    settings.targetKind = static_cast<AudioKind>(TextToInt(f[4]));
    for (std::size_t i = 5; i < f.size(); i += 3) settings.streamBitrates.push_back({f[i], f[i + 1], f[i + 2]});
    EventProgress progress(static_cast<std::size_t>(TextToInt(f[1])));
    TransferResult result = TransferRow(row, settings, progress, zplatform::TickCount, zplatform::TickCount());
    // A finished target stays under its temporary name for the parent to place.
    const std::string written = result.target ? result.target->Release() : std::string();
    if (!WriteAll(kEventFd, Encode({"finished", f[1], std::string(result.status), result.reason, written}))) {
      return 1;
    }
  }
}

// ---- the parent's side

std::size_t ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<std::size_t>(std::max(1, CPU_COUNT(&set)));
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<std::size_t>(online) : 1;
}

ProcessWorkers::ProcessWorkers(std::size_t count, const ConvertSettings& settings)
    : count_(std::max<std::size_t>(1, count)), settings_(settings), workers_(count_) {
  // A worker that died must not take the parent with it on the next write.
  std::signal(SIGPIPE, SIG_IGN);
}

ProcessWorkers::~ProcessWorkers() {
  for (Worker& worker : workers_) {
    if (worker.requests >= 0) close(worker.requests);
    worker.requests = -1;
  }
  for (Worker& worker : workers_) {
    if (worker.events >= 0) close(worker.events);
    if (worker.pid > 0) {
      while (waitpid(worker.pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
  std::signal(SIGPIPE, SIG_DFL);
}

bool ProcessWorkers::Spawn(Worker& worker) {
  int requests[2], events[2];
  if (pipe2(requests, O_CLOEXEC) != 0) return false;
  if (pipe2(events, O_CLOEXEC) != 0) {
    close(requests[0]);
    close(requests[1]);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    const int in = fcntl(requests[0], F_DUPFD, 10);
    const int out = fcntl(events[1], F_DUPFD, 10);
    const int null = open("/dev/null", O_RDONLY);
    if (in < 0 || out < 0 || null < 0 || dup2(in, kRequestFd) < 0 || dup2(out, kEventFd) < 0 ||
        dup2(null, STDIN_FILENO) < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
      _exit(127);
    }
    // Whatever ends the parent cancels the worker's row like a Ctrl+C.
    prctl(PR_SET_PDEATHSIG, SIGINT);
    if (getppid() != parent) _exit(1);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    char name[] = "zandro-cli";
    char command[] = "convert-worker";
    char* argv[] = {name, command, nullptr};
    execv("/proc/self/exe", argv);
    _exit(127);
  }
  close(requests[0]);
  close(events[1]);
  if (pid < 0) {
    close(requests[1]);
    close(events[0]);
    return false;
  }
  worker.pid = pid;
  worker.requests = requests[1];
  worker.events = events[0];
  worker.pending.clear();
  worker.busy = false;
  return true;
}

void ProcessWorkers::Retire(Worker& worker) {
  worker.busy = false;
  if (worker.requests >= 0) close(worker.requests);
  if (worker.events >= 0) close(worker.events);
  worker.requests = worker.events = -1;
  if (worker.pid > 0) {
    while (waitpid(worker.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  worker.pid = -1;
}

bool ProcessWorkers::Start(std::size_t index, const StatusRow& row) {
  std::vector<std::string> fields{"row", std::to_string(index), row.source, row.target,
                                  std::to_string(static_cast<int>(settings_.targetKind))};
  for (const StreamBitrateRow& stream : settings_.streamBitrates) {
    fields.insert(fields.end(), {stream.sampleRateText, stream.channelsText, stream.bitrateText});
  }
  const std::string request = Encode(fields);
  for (Worker& worker : workers_) {
    if (worker.busy) continue;
    if (worker.pid < 0 && !Spawn(worker)) continue;
    if (!WriteAll(worker.requests, request)) {
      Retire(worker);
      if (!Spawn(worker) || !WriteAll(worker.requests, request)) {
        Retire(worker);
        continue;
      }
    }
    worker.busy = true;
    worker.row = index;
    return true;
  }
  return false;
}

bool ProcessWorkers::Wait(RowEvent& event, int timeoutMs) {
  if (ready_.empty()) {
    std::vector<pollfd> fds;
    std::vector<Worker*> owners;
    for (Worker& worker : workers_) {
      if (!worker.busy) continue;
      fds.push_back({worker.events, POLLIN, 0});
      owners.push_back(&worker);
    }
    if (fds.empty()) return false;
    if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return false;  // a signal or the time
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      Worker& worker = *owners[i];
      char chunk[4096];
      const ssize_t got = read(worker.events, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        worker.pending.append(chunk, static_cast<std::size_t>(got));
        while (std::optional<std::vector<std::string>> message = Decode(worker.pending)) {
          const std::vector<std::string>& f = *message;
          RowEvent parsed;
          if (f.size() == 5 && f[0] == "progress") {
            parsed.kind = RowEvent::Kind::Progress;
            parsed.percent = TextToInt(f[2]);
            parsed.elapsed = f[3];
            parsed.remain = f[4];
          } else if (f.size() == 5 && f[0] == "finished") {
            parsed.kind = RowEvent::Kind::Finished;
            parsed.status = f[2];
            parsed.reason = f[3];
            parsed.written = f[4];
            worker.busy = false;
          } else {
            continue;
          }
          parsed.row = worker.row;
          ready_.push_back(std::move(parsed));
          if (!worker.busy) break;
        }
        continue;
      }
      // The worker ended inside its row (killed, or crashed): the row
      // failed. What it wrote never got a real name; the file under the
      // target, if any, is not its own and stays.
      const std::size_t row = worker.row;
      Retire(worker);
      RowEvent failed;
      failed.kind = RowEvent::Kind::Finished;
      failed.row = row;
      failed.status = std::string(kStatusError);
      failed.reason = "the process converting it ended unexpectedly";
      ready_.push_back(std::move(failed));
    }
  }
  if (ready_.empty()) return false;
  event = std::move(ready_.front());
  ready_.erase(ready_.begin());
  return true;
}

void ProcessWorkers::StopAll() {
  for (Worker& worker : workers_) {
    if (worker.busy && worker.pid > 0) kill(worker.pid, SIGINT);
  }
}

}  // namespace zandro::cli
