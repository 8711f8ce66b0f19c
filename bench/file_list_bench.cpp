// Adding a generated tree of small WAV files to the file list, by the engine
// alone and through the main window (its model, view, status bar and the
// event pass after each file). Prints the seconds for 1000, 2500 and 5000
// files, so one can see the time grow in proportion to the count.
//
//   file_list_bench [MAX_FILES]   (QT_QPA_PLATFORM=offscreen needs no display)

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/file_list.h"
#include "main_window.h"

namespace fs = std::filesystem;

namespace {

// 0.1 s of 8 kHz mono silence in a canonical 44-byte-header WAV file.
std::vector<char> SmallWav() {
  const std::uint32_t dataBytes = 1600;
  std::vector<char> out;
  auto put32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  auto put16 = [&out](std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
  };
  auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF");
  put32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);
  put16(1);
  put32(8000);
  put32(16000);
  put16(2);
  put16(16);
  tag("data");
  put32(dataBytes);
  out.resize(out.size() + dataBytes, 0);
  return out;
}

// `count` files, 100 to a folder, folders two levels deep.
void MakeTree(const fs::path& root, int count) {
  const std::vector<char> wav = SmallWav();
  for (int i = 0; i < count; ++i) {
    const fs::path folder = root / ("album" + std::to_string(i / 500)) / ("disc" + std::to_string((i / 100) % 5));
    fs::create_directories(folder);
    std::ofstream(folder / ("track" + std::to_string(i) + ".wav"), std::ios::binary).write(wav.data(), static_cast<std::streamsize>(wav.size()));
  }
}

template <typename F>
double Seconds(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int maxFiles = argc > 1 ? std::atoi(argv[1]) : 5000;

  char pattern[] = "/tmp/zandro-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path base(pattern);

  std::printf("%8s %12s %12s %14s %14s\n", "files", "engine s", "window s", "engine us/file", "window us/file");
  for (int count : {1000, 2500, 5000}) {
    if (count > maxFiles) break;
    const fs::path tree = base / std::to_string(count);
    MakeTree(tree, count);

    zandro::FileList engine;
    const double engineSeconds = Seconds([&] { engine.AddDirectory(tree.string(), zandro::ScanFilter::All); });

    zandro::ui::TfmConvertor window;
    window.show();
    QCoreApplication::processEvents();
    const double windowSeconds = Seconds([&] { window.AddDirectoryToList(tree.string()); });

    if (engine.size() != static_cast<std::size_t>(count) || window.fileList().size() != static_cast<std::size_t>(count)) {
      std::fprintf(stderr, "listed %zu / %zu of %d\n", engine.size(), window.fileList().size(), count);
      return 1;
    }
    std::printf("%8d %12.3f %12.3f %14.1f %14.1f\n", count, engineSeconds, windowSeconds, engineSeconds * 1e6 / count,
                windowSeconds * 1e6 / count);
    std::fflush(stdout);
  }
  fs::remove_all(base);
  return 0;
}
