#pragma once
// The writer and its file sink. Input 0 takes interleaved signed 16-bit PCM
// at the sample rate and channel count of the profile's audio stream, in
// samples of any size; the stream is encoded with the profile's WMA format
// into an ASF file. The file carries no tags (the metadata editor writes
// them). Decoders drop the first coded frame as warm-up; the writer feeds
// it, so the decoded audio lines up with the PCM written, tail included.

#include <memory>
#include <string_view>

#include "wmvcore/buffer.h"
#include "wmvcore/media_props.h"
#include "wmvcore/profile.h"
#include "wmvcore/types.h"

namespace wmvcore {

class IWMWriterSink {
 public:
  virtual ~IWMWriterSink() = default;
};

class IWMWriterFileSink2;

class IWMWriterFileSink : public IWMWriterSink {
 public:
  // Creates (or truncates) the file at `path`.
  virtual HRESULT Open(std::u16string_view path) = 0;
  // The sink's second side; valid as long as the sink.
  virtual IWMWriterFileSink2* QueryFileSink2() = 0;
};

class IWMWriterFileSink2 : public IWMWriterFileSink {
 public:
  virtual HRESULT Start(QWORD startTime) = 0;
  virtual HRESULT Stop(QWORD stopTime) = 0;
  virtual HRESULT IsStopped(bool* stopped) = 0;
  virtual HRESULT GetFileDuration(QWORD* duration) = 0;
  virtual HRESULT GetFileSize(QWORD* size) = 0;
  // Closes the file; the writer must have ended writing first.
  virtual HRESULT Close() = 0;
  virtual HRESULT IsClosed(bool* closed) = 0;
};

class IWMWriterAdvanced {
 public:
  virtual ~IWMWriterAdvanced() = default;
  // One file sink per writer; the writer keeps it alive.
  virtual HRESULT AddSink(std::shared_ptr<IWMWriterSink> sink) = 0;
  virtual HRESULT RemoveSink(IWMWriterSink* sink) = 0;
  virtual HRESULT GetSinkCount(DWORD* sinks) = 0;
  // Time of the stream written so far, in 100 ns units.
  virtual HRESULT GetWriterTime(QWORD* time) = 0;
};

class IWMWriter {
 public:
  virtual ~IWMWriter() = default;
  // Takes a copy of the profile: exactly one audio stream whose media type
  // is one of the codec information's WMA formats.
  virtual HRESULT SetProfile(IWMProfile* profile) = 0;
  virtual HRESULT GetInputCount(DWORD* inputs) = 0;
  virtual HRESULT GetInputProps(DWORD inputNumber, std::shared_ptr<IWMInputMediaProps>* props) = 0;
  // Needs a profile and an open file sink; writes the file header.
  virtual HRESULT BeginWriting() = 0;
  // A sample of exactly `size` bytes.
  virtual HRESULT AllocateSample(DWORD size, std::shared_ptr<INSSBuffer>* sample) = 0;
  // Encodes the sample's PCM. The samples' PCM is one continuous stream:
  // `sampleTime` (100 ns units) is taken as given, never turned into
  // inserted silence or dropped audio (clients round their times).
  virtual HRESULT WriteSample(DWORD inputNumber, QWORD sampleTime, DWORD flags,
                              INSSBuffer* sample) = 0;
  virtual HRESULT Flush() = 0;
  // Flushes the encoder and finishes the file.
  virtual HRESULT EndWriting() = 0;
  // The writer's other side; valid as long as the writer.
  virtual IWMWriterAdvanced* QueryAdvanced() = 0;
};

HRESULT WMCreateWriter(std::shared_ptr<IWMWriter>* writer);
HRESULT WMCreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* sink);

}  // namespace wmvcore
