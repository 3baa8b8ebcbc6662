#include "measurement/CorrectionFile.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace measurement {

namespace {

// Levels and phases beyond these are not corrections but broken files; the
// bounds keep every interpolation finite.
constexpr double kMaxCorrectionDb = 1000.0;
constexpr double kMaxPhaseDeg = 1e7;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }
bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view TrimFront(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  return s.substr(i);
}

// A finite number at the front of s (a leading '+' allowed); the count of
// characters it takes, or 0 when s does not start with one.
size_t LeadingNumber(std::string_view s, double& value) {
  size_t skip = 0;
  if (!s.empty() && s[0] == '+') {
    skip = 1;
    if (s.size() > 1 && (s[1] == '-' || s[1] == '+')) return 0;
  }
  const char* first = s.data() + skip;
  const char* last = s.data() + s.size();
  // Only decimal digits and a point may start a number: from_chars would
  // also take "inf" and "nan".
  const char* digit = first;
  if (digit < last && *digit == '-') ++digit;
  if (digit >= last || !((*digit >= '0' && *digit <= '9') || *digit == '.')) return 0;
  double v = 0;
  const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec != std::errc() || !std::isfinite(v)) return 0;
  value = v;
  return static_cast<size_t>(end - s.data());
}

// The fields of a line, split at runs of separators.
class Fields {
 public:
  explicit Fields(std::string_view line) : m_Rest(line) {}
  // The next field, empty at the end of the line.
  std::string_view Next() {
    size_t i = 0;
    while (i < m_Rest.size() && IsSeparator(m_Rest[i])) ++i;
    size_t j = i;
    while (j < m_Rest.size() && !IsSeparator(m_Rest[j])) ++j;
    const std::string_view field = m_Rest.substr(i, j - i);
    m_Rest = m_Rest.substr(j);
    return field;
  }

 private:
  std::string_view m_Rest;
};

// A field that is a whole number and nothing else.
bool WholeNumber(std::string_view field, double& value) {
  return !field.empty() && LeadingNumber(field, value) == field.size();
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != prefix[i]) return false;
  return true;
}

// The sensitivity a comment line gives: "Sensitivity -36.6 dBFS",
// "Sensitivity: -36.6", "*1000Hz -36.6" and the like.
std::optional<double> SensitivityOf(std::string_view line) {
  std::string_view s = TrimFront(line);
  while (!s.empty() && (s[0] == '*' || s[0] == ';' || s[0] == '#' || s[0] == '"' || IsSpace(s[0]))) s.remove_prefix(1);
  double value = 0;
  if (StartsWithNoCase(s, "sensitivity")) {
    s.remove_prefix(11);
    while (!s.empty() && (IsSpace(s[0]) || s[0] == ':' || s[0] == '=')) s.remove_prefix(1);
    if (LeadingNumber(s, value) > 0) return value;
    return std::nullopt;
  }
  // "1000Hz -36.6": the level at 1 kHz.
  double frequency = 0;
  const size_t n = LeadingNumber(s, frequency);
  if (n == 0 || frequency != 1000.0) return std::nullopt;
  s = TrimFront(s.substr(n));
  if (!StartsWithNoCase(s, "hz")) return std::nullopt;
  s.remove_prefix(2);
  if (s.empty() || !IsSeparator(s[0])) return std::nullopt;
  while (!s.empty() && IsSeparator(s[0])) s.remove_prefix(1);
  if (LeadingNumber(s, value) > 0) return value;
  return std::nullopt;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

CorrectionRead Fail(CorrectionFault fault, int64_t line, const std::string& what) {
  CorrectionRead read;
  read.fault = fault;
  read.errorLine = line;
  read.error = line > 0 ? "line " + std::to_string(line) + ": " + what : what;
  return read;
}

// Makes the phase continuous along the file: each step between neighbours
// is taken as the one within +-180 degrees.
void Unwrap(std::vector<CorrectionPoint>& points) {
  if (points.empty()) return;
  double raw = points[0].phaseDeg;
  for (size_t i = 1; i < points.size(); ++i) {
    double step = points[i].phaseDeg - raw;
    step -= 360.0 * std::round(step / 360.0);
    raw = points[i].phaseDeg;
    points[i].phaseDeg = points[i - 1].phaseDeg + step;
  }
}

}  // namespace

CorrectionRead ParseCorrection(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  CorrectionCurve curve;
  bool everyPhase = true;
  int64_t lineNo = 0, previousLine = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    const std::string_view line = text.substr(pos, end - pos);
    if (end == text.size()) pos = end;
    else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') pos = end + 2;
    else pos = end + 1;
    ++lineNo;

    const std::string_view body = TrimFront(line);
    const bool marked = !body.empty() && (body[0] == '*' || body[0] == ';' || body[0] == '#' || body[0] == '"');
    Fields fields(body);
    double frequency = 0;
    if (marked || !WholeNumber(fields.Next(), frequency)) {
      if (!curve.sensitivityDbfs) curve.sensitivityDbfs = SensitivityOf(body);
      continue;
    }
    double db = 0;
    if (!WholeNumber(fields.Next(), db))
      return Fail(CorrectionFault::NoDb, lineNo, "the frequency " + Number(frequency) + " Hz has no dB value after it");
    if (frequency < 0)
      return Fail(CorrectionFault::BadNumber, lineNo, "the frequency " + Number(frequency) + " Hz is below 0 Hz");
    if (frequency == 0) continue;  // a DC point: no place on a logarithmic axis
    if (std::abs(db) > kMaxCorrectionDb)
      return Fail(CorrectionFault::BadNumber, lineNo, "the level " + Number(db) + " dB is beyond +-1000 dB");
    double phase = 0;
    const bool withPhase = WholeNumber(fields.Next(), phase) && std::abs(phase) <= kMaxPhaseDeg;
    everyPhase = everyPhase && withPhase;
    if (!curve.points.empty() && !(frequency > curve.points.back().frequency))
      return Fail(CorrectionFault::NotRising, lineNo,
                  "the frequency " + Number(frequency) + " Hz is not above " + Number(curve.points.back().frequency) +
                      " Hz on line " + std::to_string(previousLine) + "; the frequencies must rise");
    curve.points.push_back({frequency, db, withPhase ? phase : 0.0});
    previousLine = lineNo;
  }
  if (curve.points.size() < 2)
    return Fail(CorrectionFault::TooFewPoints, 0,
                "a correction file needs at least two points (frequency and dB), this one has " +
                    std::to_string(curve.points.size()));
  curve.hasPhase = everyPhase;
  if (curve.hasPhase) {
    Unwrap(curve.points);
  } else {
    for (CorrectionPoint& p : curve.points) p.phaseDeg = 0;
  }
  CorrectionRead read;
  read.curve = std::move(curve);
  return read;
}

CorrectionRead ReadCorrectionFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return Fail(CorrectionFault::Missing, 0, "no such file");
  if (info.isDir()) return Fail(CorrectionFault::Unreadable, 0, "that is a folder");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return Fail(CorrectionFault::Unreadable, 0, "cannot be read");
  // Read one byte past the limit: a special file reports no size.
  const QByteArray bytes = file.read(kMaxCorrectionFileBytes + 1);
  if (bytes.size() > kMaxCorrectionFileBytes)
    return Fail(CorrectionFault::TooLarge, 0,
                "larger than " + std::to_string(kMaxCorrectionFileBytes / (1024 * 1024)) + " MB");
  if (file.error() != QFileDevice::NoError) return Fail(CorrectionFault::Unreadable, 0, "cannot be read");
  return ParseCorrection(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace measurement
