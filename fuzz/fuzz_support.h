#pragma once
// What every harness shares: a private scratch directory, the input saved
// as a file there, silent message boxes, and invariant checks that hold in
// release builds too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zandro_fuzz {

// A directory of this process's own, removed at exit.
const std::string& ScratchDirectory();

// Writes the input to `name` inside the scratch directory; returns the path.
std::string SaveInput(std::string_view name, const std::uint8_t* data, std::size_t size);

// Installs message and diagnostic sinks that show nothing: the readers
// report bad files through them, and a harness has nobody to show them to.
void Silence();

// Aborts with the text when the condition fails, so that the fuzzer keeps
// the input.
[[noreturn]] void Fail(const char* what, const std::string& detail);

}  // namespace zandro_fuzz

#define FUZZ_CHECK(condition, detail) \
  do {                                  \
    if (!(condition)) ::zandro_fuzz::Fail(#condition, (detail)); \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
