#include "measurement/VerdictText.h"

#include <QStringList>
#include <cmath>

namespace measurement {

namespace {

QString Number(double v, int decimals) { return QString::number(v, 'f', decimals); }

QString Hz(double f) {
  return f >= 1000 ? QString::number(f / 1000.0, 'f', 1) + QStringLiteral(" kHz")
                   : Number(f, 0) + QStringLiteral(" Hz");
}

}  // namespace

QString QualityWord(Quality quality) {
  switch (quality) {
    case Quality::Good: return QStringLiteral("良好");
    case Quality::Warning: return QStringLiteral("注意");
    case Quality::Bad: return QStringLiteral("不良");
  }
  return {};
}

QString QualityKey(Quality quality) {
  switch (quality) {
    case Quality::Good: return QStringLiteral("ok");
    case Quality::Warning: return QStringLiteral("warning");
    case Quality::Bad: return QStringLiteral("bad");
  }
  return {};
}

QString ReasonKey(Reason reason) {
  switch (reason) {
    case Reason::NoSignal: return QStringLiteral("no_signal");
    case Reason::Clipped: return QStringLiteral("clipped");
    case Reason::LowHeadroom: return QStringLiteral("low_headroom");
    case Reason::LowSnr: return QStringLiteral("low_snr");
    case Reason::NoiseUnmeasured: return QStringLiteral("noise_unmeasured");
    case Reason::Dropouts: return QStringLiteral("dropouts");
    case Reason::TimingSteps: return QStringLiteral("timing_steps");
    case Reason::LostPieces: return QStringLiteral("lost_pieces");
    case Reason::CaptureGaps: return QStringLiteral("capture_gaps");
    case Reason::Drift: return QStringLiteral("drift");
    case Reason::CaptureOverflow: return QStringLiteral("capture_overflow");
    case Reason::CaptureUnderflow: return QStringLiteral("capture_underflow");
    case Reason::PlaybackUnderflow: return QStringLiteral("playback_underflow");
    case Reason::PlaybackOverflow: return QStringLiteral("playback_overflow");
    case Reason::CaptureLate: return QStringLiteral("capture_late");
  }
  return {};
}

std::optional<Reason> ReasonOfKey(const QString& key) {
  for (const Reason r : {Reason::NoSignal, Reason::Clipped, Reason::LowHeadroom, Reason::LowSnr,
                         Reason::NoiseUnmeasured, Reason::Dropouts, Reason::TimingSteps, Reason::LostPieces,
                         Reason::CaptureGaps, Reason::Drift, Reason::CaptureOverflow, Reason::CaptureUnderflow,
                         Reason::PlaybackUnderflow, Reason::PlaybackOverflow, Reason::CaptureLate})
    if (ReasonKey(r) == key) return r;
  return std::nullopt;
}

QString TimingDamage(const VerdictReason& r) {
  // "1 dropout", "2 dropouts".
  const auto count = [&](const char* thing) {
    const QString n = Number(r.value, 0);
    return n + QLatin1Char(' ') + QLatin1String(thing) + (n == QLatin1String("1") ? QString() : QStringLiteral("s"));
  };
  switch (r.reason) {
    case Reason::Dropouts: return count("dropout");
    case Reason::TimingSteps: return count("delay step");
    case Reason::LostPieces: return count("lost piece");
    case Reason::CaptureGaps: return count("capture gap");
    case Reason::CaptureOverflow: return QStringLiteral("input overflow");
    case Reason::CaptureUnderflow: return QStringLiteral("input underflow");
    case Reason::PlaybackUnderflow: return QStringLiteral("output underflow");
    case Reason::PlaybackOverflow: return QStringLiteral("output overflow");
    default: return {};
  }
}

QString TimingDamageJa(const VerdictReason& r) {
  const QString count = Number(r.value, 0);
  switch (r.reason) {
    case Reason::Dropouts: return QStringLiteral("入力の途切れ %1 回").arg(count);
    case Reason::TimingSteps: return QStringLiteral("遅延の跳び %1 回").arg(count);
    case Reason::LostPieces: return QStringLiteral("戻らなかった区間 %1 か所").arg(count);
    case Reason::CaptureGaps: return QStringLiteral("信号途中の欠け %1 か所").arg(count);
    case Reason::CaptureOverflow: return QStringLiteral("入力オーバーフロー");
    case Reason::CaptureUnderflow: return QStringLiteral("入力アンダーフロー");
    case Reason::PlaybackUnderflow: return QStringLiteral("出力アンダーフロー");
    case Reason::PlaybackOverflow: return QStringLiteral("出力オーバーフロー");
    default: return {};
  }
}

QString ReasonSentence(const VerdictReason& r) {
  switch (r.reason) {
    case Reason::NoSignal:
      return QStringLiteral("the played signal did not come back on the input: check the cables and the input chosen");
    case Reason::Clipped:
      return QStringLiteral("%1 captured samples at full scale (clipped): lower the level or the input gain")
          .arg(Number(r.value, 0));
    case Reason::LowHeadroom:
      return QStringLiteral("the capture peaks %1 dB under full scale (under 6 dB): lower the level a little")
          .arg(Number(r.value, 1));
    case Reason::LowSnr:
      return QStringLiteral("signal-to-noise %1 dB from %2 to %3 (under 40 dB): raise the level or lower the noise")
          .arg(Number(r.value, 1), Hz(r.low), Hz(r.high));
    case Reason::NoiseUnmeasured:
      return QStringLiteral(
                 "only %1 frames of capture without the signal, too few to measure the noise: "
                 "let the capture start before the signal and end after it")
          .arg(Number(r.value, 0));
    case Reason::Dropouts:
      return QStringLiteral(
                 "the capture lost %1 stretches; the curve has no points where they fell: "
                 "measure again with less load on the machine")
          .arg(Number(r.value, 0));
    case Reason::TimingSteps:
      return QStringLiteral("the path's delay jumped %1 times (followed): measure again if the curve looks wrong there")
          .arg(Number(r.value, 0));
    case Reason::LostPieces:
      return QStringLiteral("%1 pieces of the sweep did not come back; the curve has no points there")
          .arg(Number(r.value, 0));
    case Reason::CaptureGaps:
      return QStringLiteral(
                 "%1 stretches inside the signal were silent or have no points on the curve: "
                 "measure again with less load on the machine")
          .arg(Number(r.value, 0));
    case Reason::Drift:
      return QStringLiteral("the input's clock ran %1 ppm apart from the output's (corrected)").arg(Number(r.value, 1));
    case Reason::CaptureOverflow: return QStringLiteral("the sound host dropped captured data (input overflow)");
    case Reason::CaptureUnderflow:
      return QStringLiteral("the sound host filled the capture with silence (input underflow)");
    case Reason::PlaybackUnderflow:
      return QStringLiteral("the sound host inserted a gap into playback (output underflow)");
    case Reason::PlaybackOverflow:
      return QStringLiteral("the sound host discarded data for playback (output overflow)");
    case Reason::CaptureLate:
      return QStringLiteral(
                 "the capture began %1 ms after the signal did; the curve has no points for what played before it: "
                 "start the recording before the signal")
          .arg(Number(r.value, 0));
  }
  return {};
}

QString ReasonSentenceJa(const VerdictReason& r) {
  switch (r.reason) {
    case Reason::NoSignal:
      return QStringLiteral("再生した信号が入力に戻りませんでした。接続と入力の選択を確かめてください。");
    case Reason::Clipped:
      return QStringLiteral(
                 "入力が %1 サンプルでフルスケールに達しました（クリップ）。レベルか入力の感度を下げてください。")
          .arg(Number(r.value, 0));
    case Reason::LowHeadroom:
      return QStringLiteral(
                 "入力のピークがフルスケールまで %1 dB しかありません（6 dB 未満）。レベルを少し下げてください。")
          .arg(Number(r.value, 1));
    case Reason::LowSnr:
      return QStringLiteral("%1〜%2 の S/N が %3 dB です（40 dB 未満）。レベルを上げるか雑音を減らしてください。")
          .arg(Hz(r.low), Hz(r.high), Number(r.value, 1));
    case Reason::NoiseUnmeasured:
      return QStringLiteral(
                 "信号のない部分が %1 サンプルしかなく、雑音を測れませんでした。"
                 "信号の前後も録音してください。")
          .arg(Number(r.value, 0));
    case Reason::Dropouts:
      return QStringLiteral(
                 "入力が %1 回途切れました。その周波数には点がありません。負荷を減らして測り直してください。")
          .arg(Number(r.value, 0));
    case Reason::TimingSteps:
      return QStringLiteral("経路の遅延が %1 回跳びました（追従済み）。").arg(Number(r.value, 0));
    case Reason::LostPieces:
      return QStringLiteral("スウィープの %1 区間が戻りませんでした。その周波数には点がありません。")
          .arg(Number(r.value, 0));
    case Reason::CaptureGaps:
      return QStringLiteral(
                 "信号の途中で %1 か所、入力が無音になったか曲線に点がありません。負荷を減らして測り直してください。")
          .arg(Number(r.value, 0));
    case Reason::Drift:
      return QStringLiteral("入力のクロックが出力と %1 ppm ずれていました（補正済み）。").arg(Number(r.value, 1));
    case Reason::CaptureOverflow:
      return QStringLiteral("サウンドシステムが録音データを捨てました（入力オーバーフロー）。");
    case Reason::CaptureUnderflow:
      return QStringLiteral("サウンドシステムが録音に無音を入れました（入力アンダーフロー）。");
    case Reason::PlaybackUnderflow:
      return QStringLiteral("サウンドシステムが再生に隙間を入れました（出力アンダーフロー）。");
    case Reason::PlaybackOverflow:
      return QStringLiteral("サウンドシステムが再生データを捨てました（出力オーバーフロー）。");
    case Reason::CaptureLate:
      return QStringLiteral(
                 "録音の開始が信号より %1 ms 遅れました。それまでに再生した部分は曲線に点がありません。"
                 "信号より先に録音を始めてください。")
          .arg(Number(r.value, 0));
  }
  return {};
}

QString VerdictTooltip(const Verdict& verdict) {
  if (verdict.reasons.empty()) return QStringLiteral("問題は見つかりませんでした。");
  QStringList lines;
  for (const VerdictReason& r : verdict.reasons) lines << QStringLiteral("・") + ReasonSentenceJa(r);
  return lines.join(QLatin1Char('\n'));
}

}  // namespace measurement
