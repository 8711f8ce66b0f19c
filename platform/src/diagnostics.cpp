#include "zplatform/diagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zplatform {
namespace {

// Lines may come from the WMA reader's worker threads.
std::mutex g_mutex;
LineSink g_diagnosticSink;
LineSink g_traceSink;

void WriteLine(std::FILE* stream, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void Diagnostic(std::string_view line) {
  std::lock_guard lock(g_mutex);
  if (g_diagnosticSink) {
    g_diagnosticSink(line);
  } else {
    WriteLine(stdout, line);
  }
}

void SetDiagnosticSink(LineSink sink) {
  std::lock_guard lock(g_mutex);
  g_diagnosticSink = std::move(sink);
}

bool TraceEnabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("ZANDRO_TRACE");
    return value && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

void Trace(std::string_view line) {
  std::lock_guard lock(g_mutex);
  if (g_traceSink) {
    g_traceSink(line);
  } else if (TraceEnabled()) {
    WriteLine(stderr, line);
  }
}

void SetTraceSink(LineSink sink) {
  std::lock_guard lock(g_mutex);
  g_traceSink = std::move(sink);
}

}  // namespace zplatform
