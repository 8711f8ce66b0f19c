#pragma once
// The asynchronous reader. Open returns at once; a worker thread of the
// reader opens the file and reports through the client's callback, in this
// order: WMT_OPENED (with the open status), and after Start: WMT_STARTED,
// the decoded samples of each output through OnSample, clock requests
// through OnTime (with the user clock on), WMT_EOF (or WMT_END_OF_SEGMENT
// when Start was given a duration); after Close: WMT_CLOSED, always the last
// call the reader makes into the callback. Protected content reports
// WMT_NO_RIGHTS before WMT_OPENED, and the open then fails.
//
// Output 0 of a file is its first audio stream, delivered as interleaved
// signed 16-bit PCM at the stream's own sample rate and channel count.

#include <memory>
#include <string_view>

#include "wmvcore/buffer.h"
#include "wmvcore/header_info.h"
#include "wmvcore/media_props.h"
#include "wmvcore/types.h"

namespace wmvcore {

class IWMReaderCallbackAdvanced;

class IWMStatusCallback {
 public:
  virtual ~IWMStatusCallback() = default;
  // `value` points at `type`-typed data that depends on the status (for
  // WMT_NO_RIGHTS an empty UTF-16 string), or is null.
  virtual HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type,
                           const BYTE* value, void* context) = 0;
};

class IWMReaderCallback : public IWMStatusCallback {
 public:
  // `sample` belongs to the reader and is valid only during the call; the
  // reader's worker waits while the call runs, so a client may block here.
  virtual HRESULT OnSample(DWORD outputNumber, QWORD sampleTime, QWORD sampleDuration,
                           DWORD flags, INSSBuffer* sample, void* context) = 0;

  // The callback's advanced side, or null when it has none (then no OnTime
  // requests are made).
  virtual IWMReaderCallbackAdvanced* QueryAdvanced() { return nullptr; }
};

class IWMReaderCallbackAdvanced {
 public:
  virtual ~IWMReaderCallbackAdvanced() = default;
  virtual HRESULT OnStreamSample(WORD streamNumber, QWORD sampleTime, QWORD sampleDuration,
                                 DWORD flags, INSSBuffer* sample, void* context) = 0;
  // With the user clock on: every sample that starts before `time` has been
  // delivered and the next one starts at or after it; the reader waits for a
  // later DeliverTime.
  virtual HRESULT OnTime(QWORD time, void* context) = 0;
  virtual HRESULT OnStreamSelection(WORD streamCount, WORD* streamNumbers, int* selections,
                                    void* context) = 0;
  virtual HRESULT OnOutputPropsChanged(DWORD outputNumber, WM_MEDIA_TYPE* mediaType,
                                       void* context) = 0;
  // The reader allocates its own buffers; these are never called.
  virtual HRESULT AllocateForStream(WORD streamNumber, DWORD size, INSSBuffer** buffer,
                                    void* context) = 0;
  virtual HRESULT AllocateForOutput(DWORD outputNumber, DWORD size, INSSBuffer** buffer,
                                    void* context) = 0;
};

class IWMReaderAdvanced {
 public:
  virtual ~IWMReaderAdvanced() = default;
  // With the user clock on, the reader delivers only samples that start
  // before the last time given to DeliverTime (none before the first), and
  // asks for more through OnTime once all of those are delivered.
  virtual HRESULT SetUserProvidedClock(bool userClock) = 0;
  virtual HRESULT GetUserProvidedClock(bool* userClock) = 0;
  // May be called from any thread, the callback's included. Earlier times
  // than one already given are ignored.
  virtual HRESULT DeliverTime(QWORD time) = 0;
};

class IWMReader {
 public:
  virtual ~IWMReader() = default;

  // Starts opening `path` on the reader's worker thread and returns. The
  // callback must stay valid until WMT_CLOSED has been delivered.
  virtual HRESULT Open(std::u16string_view path, IWMReaderCallback* callback, void* context) = 0;

  // Ends the read in any state, also while the callback is blocked in
  // OnSample: returns at once and the worker delivers WMT_CLOSED once it
  // has left the callback. NS_E_INVALID_REQUEST when the reader was never
  // opened or is already closed (no WMT_CLOSED follows then).
  virtual HRESULT Close() = 0;

  // Valid after WMT_OPENED reported success.
  virtual HRESULT GetOutputCount(DWORD* outputs) = 0;
  virtual HRESULT GetOutputProps(DWORD outputNumber,
                                 std::shared_ptr<IWMOutputMediaProps>* props) = 0;

  // Decodes from `start` (100 ns units) for `duration` (0: to the end).
  // `rate` must be 1.0. A Start while decoding restarts at the new place.
  virtual HRESULT Start(QWORD start, QWORD duration, float rate, void* context) = 0;
  // Stops decoding; WMT_STOPPED follows.
  virtual HRESULT Stop() = 0;

  // The other sides of the reader object; valid as long as the reader.
  virtual IWMReaderAdvanced* QueryAdvanced() = 0;
  // Attributes of the open file; NS_E_INVALID_REQUEST before a successful open.
  virtual IWMHeaderInfo* QueryHeaderInfo() = 0;
};

// Creates a reader. `rights` (WMT_RIGHT_...) grant nothing over protected
// content, which this runtime never decodes.
HRESULT WMCreateReader(DWORD rights, std::shared_ptr<IWMReader>* reader);

}  // namespace wmvcore
