#include "measurement/SideFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "measurement/ResultFileCheck.h"
#include "measurement/VerdictText.h"
#include "support/CheckedFile.h"
#include "support/Paths.h"

namespace measurement {

namespace {

constexpr int64_t kMaxWavSamples = int64_t{1} << 28;  // far beyond any run's response

void Put16(QByteArray& b, uint16_t v) {
  b.append(static_cast<char>(v & 0xFF));
  b.append(static_cast<char>(v >> 8));
}
void Put32(QByteArray& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint32_t Get32(const QByteArray& b, qsizetype at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}
uint16_t Get16(const QByteArray& b, qsizetype at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QString* reason = nullptr) {
  return basic::WriteWholeFile(path, bytes, reason);
}

bool IsRegular(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile();
}

// The whole file, or nothing when it is not a regular file of at most maxBytes.
QByteArray ReadSmallFile(const QString& path, int64_t maxBytes) {
  std::vector<uint8_t> bytes;
  if (ReadRegularFile(path, maxBytes, bytes) != ReadOutcome::Read) return {};
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString Base(const QString& datPath) {
  return datPath.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive) ? datPath.left(datPath.size() - 4) : datPath;
}

}  // namespace

QString ImpulseWavPath(const QString& datPath) { return Base(datPath) + QStringLiteral(".ir.wav"); }
QString SideJsonPath(const QString& datPath) { return Base(datPath) + QStringLiteral(".json"); }

bool WriteFloatWav(const QString& path, std::span<const float> samples, int32_t rate, QString* reason) {
  if (rate <= 0 || static_cast<int64_t>(samples.size()) > kMaxWavSamples) {
    if (reason) *reason = QStringLiteral("no response to write");
    return false;
  }
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 4);
  QByteArray b;
  b.reserve(static_cast<qsizetype>(dataBytes) + 64);
  b.append("RIFF");
  Put32(b, 4 + (8 + 18) + (8 + 4) + (8 + dataBytes));
  b.append("WAVE");
  b.append("fmt ");
  Put32(b, 18);
  Put16(b, 3);  // IEEE float
  Put16(b, 1);
  Put32(b, static_cast<uint32_t>(rate));
  Put32(b, static_cast<uint32_t>(rate) * 4);
  Put16(b, 4);
  Put16(b, 32);
  Put16(b, 0);
  b.append("fact");
  Put32(b, 4);
  Put32(b, static_cast<uint32_t>(samples.size()));
  b.append("data");
  Put32(b, dataBytes);
  for (const float v : samples) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Put32(b, bits);
  }
  return WriteWhole(path, b, reason);
}

std::optional<FloatWav> ReadFloatWav(const QString& path) {
  const QByteArray b = ReadSmallFile(path, 4 * kMaxWavSamples + 1024);
  if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") return std::nullopt;
  FloatWav wav;
  bool format = false;
  for (qsizetype at = 12; at + 8 <= b.size();) {
    const QByteArray id = b.mid(at, 4);
    const uint32_t size = Get32(b, at + 4);
    const qsizetype body = at + 8;
    if (size > static_cast<uint64_t>(b.size() - body)) return std::nullopt;
    if (id == "fmt ") {
      if (size < 16 || Get16(b, body) != 3 || Get16(b, body + 2) != 1 || Get16(b, body + 14) != 32) return std::nullopt;
      wav.rate = static_cast<int32_t>(Get32(b, body + 4));
      format = wav.rate > 0;
    } else if (id == "data") {
      if (!format || size % 4 != 0) return std::nullopt;
      wav.samples.resize(size / 4);
      for (size_t i = 0; i < wav.samples.size(); ++i) {
        const uint32_t bits = Get32(b, body + static_cast<qsizetype>(4 * i));
        std::memcpy(&wav.samples[i], &bits, 4);
      }
      return wav;
    }
    at = body + static_cast<qsizetype>(size) + (size & 1);
  }
  return std::nullopt;
}

bool WriteSideFiles(const QString& datPath, const ImpulseResponse& ir, const SideInfo& info, QString* reason) {
  if (ir.Empty()) {
    if (reason) *reason = QStringLiteral("no response to write");
    return false;
  }
  QJsonObject o;
  o[QStringLiteral("program")] = QStringLiteral("zarin");
  o[QStringLiteral("rate")] = ir.rate;
  o[QStringLiteral("delay_frames")] = ir.timing.delayFrames;
  o[QStringLiteral("drift")] = ir.timing.drift;
  o[QStringLiteral("verdict")] = info.verdict;
  o[QStringLiteral("level_tenths_db")] = info.levelTenthsDb;
  o[QStringLiteral("delay_ms")] = info.delayMs;
  o[QStringLiteral("delay_reference")] = info.delayReference;
  o[QStringLiteral("drift_ppm")] = info.driftPpm;
  QJsonArray events;
  for (const SideInfo::Event& e : info.events) {
    QJsonObject event;
    event[QStringLiteral("kind")] = e.kind;
    event[QStringLiteral("time_s")] = e.timeS;
    event[QStringLiteral("size_ms")] = e.sizeMs;
    event[QStringLiteral("hz")] = e.hz;
    events.append(event);
  }
  o[QStringLiteral("timing_events")] = events;
  QJsonArray reasons;
  for (const VerdictReason& r : info.reasons) {
    QJsonObject reason;
    reason[QStringLiteral("reason")] = ReasonKey(r.reason);
    reason[QStringLiteral("value")] = r.value;
    if (r.reason == Reason::LowSnr) {
      reason[QStringLiteral("low_hz")] = r.low;
      reason[QStringLiteral("high_hz")] = r.high;
    }
    reasons.append(reason);
  }
  o[QStringLiteral("verdict_reasons")] = reasons;
  o[QStringLiteral("phase_trusted")] = info.PhaseTrusted();
  o[QStringLiteral("arrival_sample")] = static_cast<qint64>(ir.origin);
  o[QStringLiteral("sweep_f1_hz")] = ir.sweep.f1Hz;
  o[QStringLiteral("sweep_f2_hz")] = ir.sweep.f2Hz;
  o[QStringLiteral("sweep_seconds")] = ir.sweep.seconds;
  QJsonArray hz, density;
  for (size_t i = 0; i < ir.noise.hz.size() && i < ir.noise.density.size(); ++i) {
    hz.append(ir.noise.hz[i]);
    density.append(ir.noise.density[i]);
  }
  o[QStringLiteral("noise_hz")] = hz;
  o[QStringLiteral("noise_density")] = density;
  // Neither file stays without the other (nor one a former result left).
  if (!WriteFloatWav(ImpulseWavPath(datPath), ir.samples, ir.rate, reason) ||
      !WriteWhole(SideJsonPath(datPath), QJsonDocument(o).toJson(), reason)) {
    RemoveSideFiles(datPath);
    return false;
  }
  return true;
}

std::optional<ImpulseResponse> ReadSideFiles(const QString& datPath, SideInfo* info) {
  const QJsonObject o = QJsonDocument::fromJson(ReadSmallFile(SideJsonPath(datPath), 1 << 22)).object();
  const auto wav = ReadFloatWav(ImpulseWavPath(datPath));
  if (o.isEmpty() || !wav || wav->rate != o.value(QStringLiteral("rate")).toInt()) return std::nullopt;
  ImpulseResponse ir;
  ir.rate = wav->rate;
  ir.samples = wav->samples;
  // Only a place inside the response is cast: a double beyond int64_t's
  // range would make the cast undefined.
  const double arrival = o.value(QStringLiteral("arrival_sample")).toDouble(-1);
  if (!(arrival >= 0 && arrival < static_cast<double>(ir.samples.size()))) return std::nullopt;
  ir.origin = static_cast<int64_t>(arrival);
  ir.timing = {o.value(QStringLiteral("delay_frames")).toDouble(), o.value(QStringLiteral("drift")).toDouble()};
  ir.fraction = ir.timing.delayFrames - std::round(ir.timing.delayFrames);
  ir.sweep = {o.value(QStringLiteral("sweep_f1_hz")).toDouble(), o.value(QStringLiteral("sweep_f2_hz")).toDouble(),
              o.value(QStringLiteral("sweep_seconds")).toDouble()};
  const QJsonArray hz = o.value(QStringLiteral("noise_hz")).toArray(),
                   d = o.value(QStringLiteral("noise_density")).toArray();
  if (ir.origin < 0 || ir.origin >= static_cast<int64_t>(ir.samples.size()) || !(ir.sweep.RateConstant() > 0) ||
      hz.size() != d.size() || !std::isfinite(ir.fraction))
    return std::nullopt;
  for (qsizetype i = 0; i < hz.size(); ++i) {
    ir.noise.hz.push_back(hz[i].toDouble());
    ir.noise.density.push_back(d[i].toDouble());
  }
  if (info) {
    *info = {o.value(QStringLiteral("verdict")).toString(),
             o.value(QStringLiteral("level_tenths_db")).toInt(),
             o.value(QStringLiteral("delay_ms")).toDouble(),
             o.value(QStringLiteral("delay_reference")).toString(),
             o.value(QStringLiteral("drift_ppm")).toDouble(),
             {},
             {}};
    for (const QJsonValue v : o.value(QStringLiteral("timing_events")).toArray()) {
      const QJsonObject e = v.toObject();
      info->events.push_back({e.value(QStringLiteral("kind")).toString(), e.value(QStringLiteral("time_s")).toDouble(),
                              e.value(QStringLiteral("size_ms")).toDouble(), e.value(QStringLiteral("hz")).toDouble()});
    }
    // Reasons a later program knows and this one does not are passed over.
    for (const QJsonValue v : o.value(QStringLiteral("verdict_reasons")).toArray()) {
      const QJsonObject r = v.toObject();
      if (const std::optional<Reason> reason = ReasonOfKey(r.value(QStringLiteral("reason")).toString()))
        info->reasons.push_back({*reason, r.value(QStringLiteral("value")).toDouble(),
                                 r.value(QStringLiteral("low_hz")).toDouble(),
                                 r.value(QStringLiteral("high_hz")).toDouble()});
    }
  }
  return ir;
}

bool RecordAppliedCorrections(const QString& datPath, const AppliedCorrections& applied) {
  const QString path = SideJsonPath(datPath);
  QJsonObject o;
  if (QFile::exists(path)) {
    const QJsonDocument old = QJsonDocument::fromJson(ReadSmallFile(path, 1 << 22));
    // A file there that is no JSON object is not overwritten.
    if (!old.isObject()) return false;
    o = old.object();
  }
  QJsonObject c;
  c[QStringLiteral("mic")] = applied.mic;
  c[QStringLiteral("device")] = applied.device;
  o[QStringLiteral("corrections")] = c;
  return WriteWhole(path, QJsonDocument(o).toJson());
}

AppliedCorrections ReadAppliedCorrections(const QString& datPath) {
  const QJsonObject c = QJsonDocument::fromJson(ReadSmallFile(SideJsonPath(datPath), 1 << 22))
                            .object()
                            .value(QStringLiteral("corrections"))
                            .toObject();
  return {c.value(QStringLiteral("mic")).toString(), c.value(QStringLiteral("device")).toString()};
}

bool SideInfo::PhaseTrusted() const {
  return events.empty() &&
         std::none_of(reasons.begin(), reasons.end(), [](const VerdictReason& r) { return DamagesTiming(r.reason); });
}

SideInfo SideInfoOf(const Result& result) {
  SideInfo info;
  info.verdict = QualityKey(result.verdict.quality);
  info.reasons = result.verdict.reasons;
  info.levelTenthsDb = result.levelTenthsDb;
  if (result.timing.found) {
    info.delayMs = result.timing.DelayMs(result.sampleRate);
    info.delayReference = QString::fromLatin1(DelayReferenceName(result.timing.reference));
    info.driftPpm = result.timing.driftPpm;
    const SweepShape sweep = SweepShapeFor(result.sampleRate, static_cast<int64_t>(result.envelope.size()));
    for (const TimingEvent& e : result.timing.events) {
      const double hz = sweep.RateConstant() > 0 ? sweep.f1Hz * std::exp(e.timeS / sweep.RateConstant()) : 0.0;
      info.events.push_back({QString::fromLatin1(TimingEventName(e.kind)), e.timeS, e.sizeMs, hz});
    }
  }
  return info;
}

bool StoreSideFiles(const QString& datPath, const Result& result, QString* reason) {
  if (result.response.Empty()) {
    RemoveSideFiles(datPath);
    return true;
  }
  return WriteSideFiles(datPath, result.response, SideInfoOf(result), reason);
}

bool HasSideFiles(const QString& datPath) {
  return IsRegular(ImpulseWavPath(datPath)) && IsRegular(SideJsonPath(datPath));
}

void RemoveSideFiles(const QString& datPath) {
  for (const QString& path : {ImpulseWavPath(datPath), SideJsonPath(datPath)})
    if (IsRegular(path)) QFile::remove(path);
}

bool CopySideFiles(const QString& fromDat, const QString& toDat, QString* reason) {
  for (const auto& name : {&ImpulseWavPath, &SideJsonPath}) {
    if (!IsRegular(name(fromDat))) {
      if (IsRegular(name(toDat))) QFile::remove(name(toDat));
      continue;
    }
    const QByteArray bytes = ReadSmallFile(name(fromDat), 4 * kMaxWavSamples + 1024);
    if (bytes.isEmpty() || !WriteWhole(name(toDat), bytes, reason)) {
      if (bytes.isEmpty() && reason) *reason = QStringLiteral("cannot read %1").arg(name(fromDat));
      RemoveSideFiles(toDat);
      return false;
    }
  }
  return true;
}

bool IsSweepResultPath(const QString& path) { return path.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive); }

void DeleteResultFiles(const QString& path) {
  basic::DeleteFileIfAny(path);
  if (IsSweepResultPath(path)) RemoveSideFiles(path);
}

std::optional<int32_t> ReadPlayedLevel(const QString& datPath) {
  const QJsonValue v = QJsonDocument::fromJson(ReadSmallFile(SideJsonPath(datPath), 1 << 22))
                           .object()
                           .value(QStringLiteral("level_tenths_db"));
  if (!v.isDouble()) return std::nullopt;
  const double tenths = v.toDouble();
  if (!(tenths >= -600 && tenths <= 0) || tenths != std::floor(tenths)) return std::nullopt;
  return static_cast<int32_t>(tenths);
}

void ReadSideFilesInto(Result& result, const QString& datPath) {
  std::optional<ImpulseResponse> ir;
  if (result.mode == SignalMode::Sweep) ir = ReadSideFiles(datPath);
  result.response = ir ? std::move(*ir) : ImpulseResponse{};
}

}  // namespace measurement
