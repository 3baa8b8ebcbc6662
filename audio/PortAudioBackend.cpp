#include "audio/PortAudioBackend.h"

#include "audio/AnswerLimit.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace WaveMMIO {

namespace {

// PortAudio's own (negative) error codes pass on unchanged as device errors.
DeviceError PortAudioError(PaError err) { return err == paNoError ? DeviceError::None : static_cast<DeviceError>(err); }

// ALSA reports every probe of a missing card on stderr; the program's stderr
// stays clean, so those reports are dropped.
void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Runs fn with file descriptor 2 pointed at /dev/null. PortAudio's JACK and
// ALSA probing print dozens of lines while it starts and stops.
template <typename Fn>
auto WithStderrSilenced(Fn fn) {
  const int saved = dup(STDERR_FILENO);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
  struct Restore {
    int saved, null;
    ~Restore() {
      if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
      }
      if (null >= 0) close(null);
    }
  } restore{saved, null};
  return fn();
}

std::string Trimmed(std::string s) {
  const auto notSpace = [](unsigned char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
  s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
  s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
  return s;
}

}  // namespace

// Pa_Initialize/Pa_Terminate, shared by the backend and its open streams so
// that a stream outliving the backend still closes cleanly. The library
// starts on first use, within the sound system's answer limit: starting it
// connects to the sound server, which may not answer.
class PortAudioLibrary : public std::enable_shared_from_this<PortAudioLibrary> {
 public:
  PortAudioLibrary() {
    snd_lib_error_set_handler(QuietAlsaError);
    setenv("JACK_NO_START_SERVER", "1", 0);
  }
  ~PortAudioLibrary() {
    // A stream given up for dead still has a thread inside PortAudio: the
    // library is left as it is for the process to end.
    if (!m_Ok.load() || m_Abandoned.load()) return;
    WithStderrSilenced([] { return Pa_Terminate(); });
    // ALSA keeps its parsed configuration in a global cache; with every
    // device closed it can go too.
    snd_config_update_free_global();
  }
  // Starts the library unless it runs; false when it could not start or did
  // not answer in time (then Unanswered()).
  bool Start() {
    if (m_Ok.load()) return true;
    if (m_Failed || !Answering()) return false;
    PaError err = paNoError;
    m_Busy.store(true);
    // Silenced here, not on the call's thread: a message about a call that
    // did not answer must reach stderr.
    const bool answered = WithStderrSilenced([&] {
      return CallWithin<PaError>(
          SoundSystemAnswerLimit(), [] { return Pa_Initialize(); }, err,
          [self = shared_from_this()](PaError late) {
            // A server that answers after all: the library is there from now on.
            if (late == paNoError) self->m_Ok.store(true);
            self->m_Busy.store(false);
          });
    });
    if (!answered) {
      m_Unanswered = true;
      return false;
    }
    m_Busy.store(false);
    m_Ok.store(err == paNoError);
    m_Failed = err != paNoError;
    return m_Ok.load();
  }
  bool Ok() const { return m_Ok.load(); }
  // False while a call that did not answer in time is still under way: the
  // library is not entered again until it returns.
  bool Answering() const { return !m_Busy.load(); }
  void SetBusy(bool busy) { m_Busy.store(busy); }
  bool Unanswered() const { return m_Unanswered; }
  void Abandon() { m_Abandoned.store(true); }

 private:
  std::atomic<bool> m_Ok{false};
  std::atomic<bool> m_Busy{false};
  bool m_Failed = false;
  bool m_Unanswered = false;
  std::atomic<bool> m_Abandoned{false};
};

namespace {

// What the stream and PortAudio's callback thread share. A stream that is
// given up for dead leaves this behind (never freed): its thread may still
// hold a pointer to it.
struct StreamShared {
  bool output = false;
  StereoSample* buffer = nullptr;
  int64_t frames = 0;
  std::atomic<int64_t> pos{0};
  std::atomic<bool> done{false};
  std::atomic<bool> detached{false};  // the callback leaves the buffer alone
  std::atomic<int> inCallback{0};     // callbacks under way
  std::atomic<bool> overflow{false};  // the status flags the callback was given
  std::atomic<bool> underflow{false};
  // Output: the sound handed over is still in the host's buffers when the
  // last frame has been taken, so the stream plays silence after it until it
  // is stopped. The buffer is done once its last frame has reached the
  // converter by the stream's clock, or at the latest once the host has
  // taken as much silence as its buffers hold.
  double rate = 0;
  int64_t holdFrames = 0;    // what the host's buffers hold (its output latency, and a margin)
  double endDacTime = -1;    // stream time the frame after the last one reaches the converter
  int64_t silenceAfter = 0;  // silent frames handed over since the last one
};

class PortAudioStream : public SoundStream {
 public:
  PortAudioStream(std::shared_ptr<PortAudioLibrary> library, Direction direction)
      : m_Library(std::move(library)), m_Shared(std::make_unique<StreamShared>()) {
    m_Shared->output = direction == Direction::Output;
  }
  ~PortAudioStream() override { Close(); }

  DeviceError OpenDevice(PaDeviceIndex device, int sampleRate) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (!info) return DeviceError::BadDeviceId;
    if (!m_Library->Answering()) return DeviceError::NoAnswer;
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = 2;
    params.sampleFormat = paInt16;
    params.suggestedLatency = IsOutput() ? info->defaultHighOutputLatency : info->defaultHighInputLatency;
    const bool output = IsOutput();
    // Opening reaches the sound server: within the answer limit. A stream
    // opened after the limit is closed by the call's own thread; no callback
    // runs before a start, so the shared state is not needed by then.
    struct Opened {
      PaError err = paNoError;
      bool unsupported = false;  // the format check said no
      PaStream* stream = nullptr;
    } opened;
    m_Library->SetBusy(true);
    const bool answered = CallWithin<Opened>(
        SoundSystemAnswerLimit(),
        [params, output, sampleRate, shared = m_Shared.get()] {
          Opened o;
          const PaStreamParameters* in = output ? nullptr : &params;
          const PaStreamParameters* out = output ? &params : nullptr;
          if (Pa_IsFormatSupported(in, out, sampleRate) != paFormatIsSupported) {
            o.unsupported = true;
            return o;
          }
          o.err = Pa_OpenStream(&o.stream, in, out, sampleRate, paFramesPerBufferUnspecified, paNoFlag,
                                &PortAudioStream::Callback, shared);
          if (o.err != paNoError) o.stream = nullptr;
          return o;
        },
        opened,
        [library = m_Library](Opened late) {
          if (late.stream) Pa_CloseStream(late.stream);
          library->SetBusy(false);
        });
    if (!answered) {
      NoteUnanswered(info);
      return DeviceError::NoAnswer;
    }
    m_Library->SetBusy(false);
    if (opened.unsupported) return DeviceError::BadFormat;
    if (opened.err != paNoError) return PortAudioError(opened.err);
    m_Stream = opened.stream;
    m_DeviceInfo = info;
    if (const PaStreamInfo* streamInfo = Pa_GetStreamInfo(m_Stream)) {
      const double latency = std::clamp(streamInfo->outputLatency, 0.0, 10.0);
      m_Shared->rate = sampleRate;
      m_Shared->holdFrames = static_cast<int64_t>(std::ceil((latency + kHoldMarginSeconds) * sampleRate));
    }
    Pa_SetStreamFinishedCallback(m_Stream, &PortAudioStream::Finished);
    return DeviceError::None;
  }

  // No FirstFrameTime: the callbacks' DAC and ADC times through PortAudio's
  // ALSA host and a PulseAudio server put the path's delay anywhere within
  // about 10 ms of the truth from run to run (and far off when the server
  // changes its latency), so a run reads its delay from the capture's start.

  DeviceError Queue(StereoSample* buffer, uint32_t frames) override {
    if (!m_Stream) return DeviceError::NotOpen;
    if (m_Started && !m_Shared->done.load()) return DeviceError::StillPlaying;
    if (m_Started) StopStream();
    if (m_Abandoned) return DeviceError::NoDriver;
    m_Shared->buffer = buffer;
    m_Shared->frames = frames;
    m_Shared->pos.store(0);
    m_Shared->done.store(false);
    m_Shared->overflow.store(false);
    m_Shared->underflow.store(false);
    m_Shared->endDacTime = -1;
    m_Shared->silenceAfter = 0;
    if (!IsOutput()) return DeviceError::None;
    return StartStream();
  }

  DeviceError Start() override {
    if (!m_Stream) return DeviceError::NotOpen;
    if (IsOutput()) return DeviceError::None;
    if (!m_Shared->buffer) return DeviceError::Unprepared;
    if (m_Started) return DeviceError::None;
    return StartStream();
  }

  DeviceError Position(int64_t& frames) override {
    frames = m_Shared->pos.load(std::memory_order_acquire);
    if (!m_Stream) return DeviceError::NotOpen;
    if (m_Abandoned) return DeviceError::NoDriver;
    if (m_Started && !m_Shared->done.load()) {
      // A stream that stopped on its own before its buffer was done has lost
      // its device.
      const PaError active = Pa_IsStreamActive(m_Stream);
      if (active < 0) return PortAudioError(active);
      if (active == 0 && frames < m_Shared->frames) return DeviceError::NoDriver;
    }
    return DeviceError::None;
  }

  bool Done() override { return m_Stream && m_Shared->done.load(std::memory_order_acquire); }

  StreamFlags Flags() override {
    return {true, m_Shared->overflow.load(std::memory_order_relaxed),
            m_Shared->underflow.load(std::memory_order_relaxed)};
  }

  DeviceError Reset() override {
    if (!m_Stream) return DeviceError::NotOpen;
    StopStream();
    if (m_Shared->buffer) m_Shared->done.store(true);
    return DeviceError::None;
  }

  DeviceError Stop() override { return Reset(); }

  DeviceError Unprepare() override {
    if (!m_Stream) return DeviceError::NotOpen;
    if (m_Started && !m_Shared->done.load()) return DeviceError::StillPlaying;
    StopStream();
    m_Shared->buffer = nullptr;
    m_Shared->frames = 0;
    return DeviceError::None;
  }

  DeviceError Close() override {
    if (!m_Stream) return DeviceError::NotOpen;
    StopStream();
    if (m_Abandoned) {
      // Its thread never stopped: closing would wait for it forever, and the
      // shared state stays for that thread.
      m_Stream = nullptr;
      (void)m_Shared.release();
      return DeviceError::NoDriver;
    }
    // After Pa_CloseStream returns the callback can no longer run.
    const PaError err = Pa_CloseStream(m_Stream);
    m_Stream = nullptr;
    m_Shared->buffer = nullptr;
    m_Shared->frames = 0;
    return PortAudioError(err);
  }

 private:
  bool IsOutput() const { return m_Shared->output; }

  DeviceError StartStream() {
    if (!m_Library->Answering()) return DeviceError::NoAnswer;
    PaError err = paNoError;
    m_Library->SetBusy(true);
    const bool answered = CallWithin<PaError>(
        SoundSystemAnswerLimit(), [stream = m_Stream] { return Pa_StartStream(stream); }, err,
        [library = m_Library](PaError) { library->SetBusy(false); });
    if (!answered) {
      // The stream may start whenever the server wakes: its callback leaves
      // the buffer alone from now on, and the stream is never closed.
      m_Abandoned = true;
      m_Library->Abandon();
      m_Shared->detached.store(true);
      m_Shared->done.store(true);
      NoteUnanswered(m_DeviceInfo);
      return DeviceError::NoAnswer;
    }
    m_Library->SetBusy(false);
    if (err != paNoError) return PortAudioError(err);
    m_Started = true;
    return DeviceError::None;
  }

  static void NoteUnanswered(const PaDeviceInfo* info) {
    std::string host = "PortAudio";
    if (info) {
      const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
      host = std::string(api && api->name ? api->name : "PortAudio") + " device \"" +
             Trimmed(info->name ? info->name : "") + "\"";
    }
    SetUnansweredHost(host + SoundServerNote());
  }

  // Aborts the stream, which returns once the callback has finished for
  // good. A stream whose device died may never stop: PortAudio's ALSA host
  // can loop forever in its error handling, and the abort waits for that
  // loop. After kAbortWait the stream is given up: from then on its callback
  // does not touch the buffer, and the stream is never closed.
  void StopStream() {
    if (!m_Started || m_Abandoned) return;
    m_Started = false;
    // The abort runs on a thread of its own, watched through an atomic flag
    // (polled: the wait is short, and a condition variable's timed wait is
    // invisible to ThreadSanitizer with this toolchain).
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([stream = m_Stream, stopped] {
      if (Pa_IsStreamStopped(stream) == 0) Pa_AbortStream(stream);
      stopped->store(true, std::memory_order_release);
    });
    const auto deadline = std::chrono::steady_clock::now() + kAbortWait;
    while (!stopped->load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (stopped->load(std::memory_order_acquire)) {
      worker.join();
      return;
    }
    worker.detach();
    m_Abandoned = true;
    m_Library->Abandon();
    // A callback under way finishes with the buffer now; later ones leave it alone.
    m_Shared->detached.store(true);
    while (m_Shared->inCallback.load() != 0) std::this_thread::yield();
    m_Shared->done.store(true);
  }

  static int Callback(const void* input, void* output, unsigned long count, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags status, void* user) {
    auto* shared = static_cast<StreamShared*>(user);
    shared->inCallback.fetch_add(1);
    NoteStatus(*shared, status);
    int result = paAbort;
    if (!shared->detached.load()) {
      result = Transfer(*shared, input, output, count, time);
    } else if (shared->output && output) {
      std::fill_n(static_cast<StereoSample*>(output), count, StereoSample{});
    }
    shared->inCallback.fetch_sub(1);
    return result;
  }

  // Only between the buffer's first and last frames: a callback's flags
  // speak of what happened since the one before, and a gap before the first
  // frame or after the last only moves the start or the end.
  static void NoteStatus(StreamShared& shared, PaStreamCallbackFlags status) {
    const int64_t pos = shared.pos.load(std::memory_order_relaxed);
    if (pos <= 0 || pos >= shared.frames || shared.detached.load()) return;
    const PaStreamCallbackFlags over = shared.output ? paOutputOverflow : paInputOverflow;
    const PaStreamCallbackFlags under = shared.output ? paOutputUnderflow : paInputUnderflow;
    if (status & over) shared.overflow.store(true, std::memory_order_relaxed);
    if (status & under) shared.underflow.store(true, std::memory_order_relaxed);
  }

  static int Transfer(StreamShared& shared, const void* input, void* output, unsigned long count,
                      const PaStreamCallbackTimeInfo* time) {
    const int64_t pos = shared.pos.load(std::memory_order_relaxed);
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(static_cast<int64_t>(count), shared.frames - pos));
    if (shared.output) {
      auto* out = static_cast<StereoSample*>(output);
      if (n > 0) std::memcpy(out, shared.buffer + pos, static_cast<size_t>(n) * sizeof(StereoSample));
      std::fill(out + n, out + count, StereoSample{});
    } else if (n > 0 && input) {
      std::memcpy(shared.buffer + pos, input, static_cast<size_t>(n) * sizeof(StereoSample));
    }
    const int64_t next = pos + n;
    shared.pos.store(next, std::memory_order_release);
    if (next < shared.frames) return paContinue;
    if (!shared.output) {
      shared.done.store(true, std::memory_order_release);
      return paComplete;
    }
    NotePlayedOut(shared, static_cast<int64_t>(count) - n, n, time);
    return paContinue;  // silence until the stream is stopped
  }

  // After the output buffer's last frame: silent frames handed over in this
  // callback, the first `offset` frames of which were the buffer's.
  static void NotePlayedOut(StreamShared& shared, int64_t silent, int64_t offset,
                            const PaStreamCallbackTimeInfo* time) {
    const bool timed = time && time->outputBufferDacTime > 0 && shared.rate > 0;
    if (timed && shared.endDacTime < 0 && offset > 0)
      shared.endDacTime = time->outputBufferDacTime + static_cast<double>(offset) / shared.rate;
    shared.silenceAfter += silent;
    const bool reached = timed && shared.endDacTime >= 0 && time->currentTime >= shared.endDacTime;
    if (reached || !timed || shared.silenceAfter >= shared.holdFrames)
      shared.done.store(true, std::memory_order_release);
  }

  static void Finished(void* user) {
    auto* shared = static_cast<StreamShared*>(user);
    if (shared->pos.load() >= shared->frames) shared->done.store(true, std::memory_order_release);
  }

  static constexpr std::chrono::seconds kAbortWait{3};
  // Beyond the output latency the host reports, what its buffers may hold.
  static constexpr double kHoldMarginSeconds = 0.25;

  std::shared_ptr<PortAudioLibrary> m_Library;
  std::unique_ptr<StreamShared> m_Shared;
  PaStream* m_Stream = nullptr;
  const PaDeviceInfo* m_DeviceInfo = nullptr;
  bool m_Started = false;
  bool m_Abandoned = false;  // the stream did not stop when told to
};

}  // namespace

PortAudioBackend::PortAudioBackend() : m_Library(std::make_shared<PortAudioLibrary>()) {}

bool PortAudioBackend::EnsureListed() {
  if (m_Listed) return true;
  if (!m_Library->Start()) {
    if (m_Library->Unanswered()) SetUnansweredHost("PortAudio (ALSA)" + SoundServerNote());
    return false;
  }
  m_Listed = true;
  const PaHostApiIndex api = Pa_GetDefaultHostApi();
  const PaHostApiInfo* apiInfo = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
  if (!apiInfo) return true;
  for (int i = 0; i < apiInfo->deviceCount; ++i) {
    const PaDeviceIndex dev = Pa_HostApiDeviceIndexToDeviceIndex(api, i);
    const PaDeviceInfo* info = dev >= 0 ? Pa_GetDeviceInfo(dev) : nullptr;
    if (!info) continue;
    const std::string name = Trimmed(info->name ? info->name : "");
    if (info->maxOutputChannels > 0) {
      m_Devices[0].push_back(dev);
      m_Names[0].push_back(name);
    }
    if (info->maxInputChannels > 0) {
      m_Devices[1].push_back(dev);
      m_Names[1].push_back(name);
    }
  }
  return true;
}

PortAudioBackend::~PortAudioBackend() = default;

bool PortAudioBackend::Available() {
  EnsureListed();
  return m_Library->Ok();
}

int PortAudioBackend::DeviceCount(Direction direction) {
  EnsureListed();
  return static_cast<int>(m_Devices[static_cast<int>(direction)].size());
}

std::string PortAudioBackend::DeviceName(Direction direction, int index) {
  EnsureListed();
  const auto& names = m_Names[static_cast<int>(direction)];
  return index >= 0 && index < static_cast<int>(names.size()) ? names[static_cast<size_t>(index)] : std::string();
}

int PortAudioBackend::DefaultDevice(Direction direction) {
  if (!EnsureListed()) return -1;
  const PaHostApiIndex api = Pa_GetDefaultHostApi();
  const PaHostApiInfo* apiInfo = api >= 0 ? Pa_GetHostApiInfo(api) : nullptr;
  if (!apiInfo) return -1;
  const PaDeviceIndex def = direction == Direction::Output ? apiInfo->defaultOutputDevice : apiInfo->defaultInputDevice;
  const auto& devices = m_Devices[static_cast<int>(direction)];
  const auto it = std::find(devices.begin(), devices.end(), def);
  return it == devices.end() ? -1 : static_cast<int>(it - devices.begin());
}

DeviceError PortAudioBackend::Open(Direction direction, int index, int sampleRate,
                                   std::unique_ptr<SoundStream>& stream) {
  stream.reset();
  if (!EnsureListed()) return m_Library->Unanswered() ? DeviceError::NoAnswer : DeviceError::NoDriver;
  const auto& devices = m_Devices[static_cast<int>(direction)];
  if (index < 0 || index >= static_cast<int>(devices.size())) return DeviceError::BadDeviceId;
  auto s = std::make_unique<PortAudioStream>(m_Library, direction);
  const DeviceError result = s->OpenDevice(devices[static_cast<size_t>(index)], sampleRate);
  if (result != DeviceError::None) return result;
  stream = std::move(s);
  return DeviceError::None;
}

std::string PortAudioErrorText(int code) {
  const char* text = Pa_GetErrorText(static_cast<PaError>(code));
  return text ? text : "Unknown error " + std::to_string(code) + ".";
}

}  // namespace WaveMMIO

namespace WaveMMIO {

std::string SoundServerNote() {
  // The PulseAudio server the ALSA plug-in talks to, when one is named.
  const char* server = std::getenv("PULSE_SERVER");
  if (server && *server) return std::string(", PulseAudio server ") + server;
  const char* runtime = std::getenv("PULSE_RUNTIME_PATH");
  if (runtime && *runtime) return std::string(", PulseAudio server ") + runtime + "/native";
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg) {
    const std::string socket = std::string(xdg) + "/pulse/native";
    if (access(socket.c_str(), F_OK) == 0) return ", PulseAudio server " + socket;
  }
  return {};
}

}  // namespace WaveMMIO
