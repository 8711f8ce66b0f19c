#pragma once
// Diagnostic lines (the design's standard-output messages) and trace lines
// (its debugger output). Diagnostics go to standard output unless a front
// end redirects them; trace lines are dropped unless ZANDRO_TRACE=1.

#include <functional>
#include <string_view>

namespace zplatform {

using LineSink = std::function<void(std::string_view line)>;

// Writes one diagnostic line through the installed sink.
void Diagnostic(std::string_view line);

// Installs a sink for diagnostic lines; an empty function restores standard output.
void SetDiagnosticSink(LineSink sink);

// Writes one trace line to stderr when ZANDRO_TRACE=1 (or to the installed trace sink).
void Trace(std::string_view line);
void SetTraceSink(LineSink sink);
bool TraceEnabled();

}  // namespace zplatform
