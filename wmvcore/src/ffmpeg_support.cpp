#include "ffmpeg_support.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

#include "zplatform/diagnostics.h"

namespace wmvcore::detail {
namespace {

void LogToTrace(void* avcl, int level, const char* format, va_list args) {
  if (level > av_log_get_level()) return;
  char line[1024];
  int prefix = 1;
  av_log_format_line2(avcl, level, format, args, line, sizeof line, &prefix);
  std::string text(line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!text.empty()) zplatform::Trace("ffmpeg: " + text);
}

}  // namespace

void InstallFfmpegLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(LogToTrace); });
}

HRESULT HresultFromAverror(int error) {
  switch (error) {
    case AVERROR(ENOENT): return E_FILE_NOT_FOUND;
    case AVERROR(ENOTDIR): return E_PATH_NOT_FOUND;
    case AVERROR(EACCES):
    case AVERROR(EPERM):
    case AVERROR(EROFS): return E_ACCESSDENIED;
    case AVERROR(ENOMEM): return E_OUTOFMEMORY;
    case AVERROR(EINVAL): return E_INVALIDARG;
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND: return NS_E_UNRECOGNIZED_STREAM_TYPE;
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_ENCODER_NOT_FOUND: return NS_E_AUDIO_CODEC_NOT_INSTALLED;
    default: return E_FAIL;
  }
}

}  // namespace wmvcore::detail
