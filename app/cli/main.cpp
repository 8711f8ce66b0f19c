// zandro-cli: the engine from a terminal.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/wma_bridge.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "cli/workers.h"
#include "zplatform/diagnostics.h"
#include "zplatform/messages.h"

namespace zandro::cli {

namespace {

constexpr const char* kUsage =
    "Usage: zandro-cli COMMAND [OPTION]... [ARGUMENT]...\n"
    "Convert and tag WAV, MP3 and WMA files.\n"
    "\n"
    "Commands:\n"
    "  probe     show files as the file list shows them\n"
    "  convert   convert files to WAV, MP3 or WMA\n"
    "  formats   list the WMA encoder formats\n"
    "  tags      show or set the tags of MP3 and WMA files\n"
    "  rename    rename MP3 and WMA files from their tags\n"
    "\n"
    "  -h, --help   show this help and exit\n"
    "\n"
    "Run 'zandro-cli COMMAND --help' for the options of a command.\n"
    "Set ZANDRO_TRACE=1 for diagnostic and trace lines on stderr.\n";

}  // namespace

int UsageError(const char* command, const char* message) {
  if (message) std::fprintf(stderr, "zandro-cli: %s\n", message);
  std::fprintf(stderr, "Try 'zandro-cli %s--help' for more information.\n",
               command ? (std::string(command) + " ").c_str() : "");
  return 2;
}

}  // namespace zandro::cli

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Standard output carries results. The libraries' diagnostic lines (one
  // per header attribute of every WMA file) would bury the messages, so they
  // go to stderr only when asked for.
  zplatform::SetDiagnosticSink([](std::string_view line) {
    if (zplatform::TraceEnabled()) std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  });
  zandro::cli::TerminalMessages messages;
  messages.unattendedAnswer = zplatform::MessageAnswer::Yes;  // the user asked for it on the command line
  zplatform::SetMessageSink(&messages);
  // WMA files and targets work only when it binds; bound when first needed.
  zandro::LoadWmaLibraryOnFirstUse();

  if (argc < 2) {
    std::fputs(zandro::cli::kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  if (command == "-h" || command == "--help") {
    std::fputs(zandro::cli::kUsage, stdout);
    return 0;
  }
  if (command == "probe") return zandro::cli::ProbeCommand(argc - 1, argv + 1);
  if (command == zandro::cli::kWorkerCommand) return zandro::cli::ConvertWorkerCommand(argc - 1, argv + 1);
  if (command == "convert") return zandro::cli::ConvertCommand(argc - 1, argv + 1);
  if (command == "formats") return zandro::cli::FormatsCommand(argc - 1, argv + 1);
  if (command == "tags") return zandro::cli::TagsCommand(argc - 1, argv + 1);
  if (command == "rename") return zandro::cli::RenameCommand(argc - 1, argv + 1);
  std::fprintf(stderr, "zandro-cli: unknown command '%s'\n", argv[1]);
  return zandro::cli::UsageError(nullptr, nullptr);
}
