#include "i18n/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <cstdint>
#include <limits>

namespace i18n {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView Trim(QByteArrayView v) {
  while (!v.isEmpty() && IsBlank(v.front())) v = v.sliced(1);
  while (!v.isEmpty() && IsBlank(v.back())) v.chop(1);
  return v;
}

bool SameName(QByteArrayView a, QByteArrayView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// One line of the text: [begin, contentEnd) is its content, [contentEnd, end) its line end.
struct Line {
  qsizetype begin;
  qsizetype contentEnd;
  qsizetype end;
};

QList<Line> SplitLines(const QByteArray& ini) {
  QList<Line> lines;
  qsizetype pos = 0;
  while (pos < ini.size()) {
    qsizetype eol = pos;
    while (eol < ini.size() && ini[eol] != '\n' && ini[eol] != '\r') ++eol;
    qsizetype next = eol;
    if (next < ini.size() && ini[next] == '\r') ++next;
    if (next < ini.size() && ini[next] == '\n') ++next;
    lines.append({pos, eol, next});
    pos = next;
  }
  return lines;
}

QByteArrayView Content(const QByteArray& ini, const Line& line) {
  return QByteArrayView(ini).sliced(line.begin, line.contentEnd - line.begin);
}

// The section name when the line is a section header.
std::optional<QByteArrayView> SectionName(QByteArrayView content) {
  const QByteArrayView t = Trim(content);
  if (!t.startsWith('[')) return std::nullopt;
  const qsizetype close = t.indexOf(']');
  if (close < 0) return std::nullopt;
  return Trim(t.sliced(1, close - 1));
}

bool IsComment(QByteArrayView content) {
  const QByteArrayView t = Trim(content);
  return t.startsWith(';') || t.startsWith('#');
}

// Position of '=' when the line is an assignment to `key`.
std::optional<qsizetype> AssignmentOf(QByteArrayView content, QByteArrayView key) {
  if (IsComment(content)) return std::nullopt;
  const qsizetype eq = content.indexOf('=');
  if (eq < 0 || !SameName(Trim(content.first(eq)), key)) return std::nullopt;
  return eq;
}

struct Located {
  qsizetype sectionHeader = -1;  // line index of the section header
  qsizetype lastContent = -1;    // last non-blank line of the section
  qsizetype keyLine = -1;        // line of the key
  qsizetype equals = -1;         // offset of '=' within that line
};

Located Locate(const QByteArray& ini, const QList<Line>& lines, QByteArrayView section, QByteArrayView key) {
  Located at;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArrayView content = Content(ini, lines[i]);
    if (const auto name = SectionName(content)) {
      if (at.sectionHeader >= 0) break;  // the section has ended
      if (SameName(*name, section)) at.sectionHeader = at.lastContent = i;
      continue;
    }
    if (at.sectionHeader < 0) continue;
    if (!Trim(content).isEmpty()) at.lastContent = i;
    if (const auto eq = AssignmentOf(content, key)) {
      at.keyLine = i;
      at.equals = *eq;
      break;
    }
  }
  return at;
}

}  // namespace

std::optional<int> ParseIniInteger(QByteArrayView text) {
  QByteArrayView t = Trim(text);
  bool negative = false;
  if (!t.isEmpty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t = t.sliced(1);
  }
  int base = 10;
  if (t.startsWith("0x") || t.startsWith("0X")) {
    base = 16;
    t = t.sliced(2);
  } else if (t.startsWith('$')) {
    base = 16;
    t = t.sliced(1);
  }
  if (t.isEmpty()) return std::nullopt;
  long long value = 0;
  for (const char c : t) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
    if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  // Hexadecimal texts name a 32-bit pattern ("$FFFFFFFF" is -1); decimal ones must fit an int.
  if (base == 16 && !negative) return static_cast<int>(static_cast<std::uint32_t>(value));
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<QByteArray> FindIniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key) {
  const QList<Line> lines = SplitLines(ini);
  const Located at = Locate(ini, lines, section, key);
  if (at.keyLine < 0) return std::nullopt;
  QByteArrayView value = Trim(Content(ini, lines[at.keyLine]).sliced(at.equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.sliced(1, value.size() - 2);
  }
  return value.toByteArray();
}

namespace {

// One change of the text: `removed` bytes at `at` give way to `inserted`.
struct Edit {
  qsizetype at = 0;
  qsizetype removed = 0;
  QByteArray inserted;
};

Edit ValueEdit(const QByteArray& ini, QByteArrayView section, QByteArrayView key, QByteArrayView value) {
  const QByteArray eol = ini.contains("\r\n") ? QByteArray("\r\n")
                         : ini.contains('\n') ? QByteArray("\n")
                                              : QByteArray("\r\n");
  const QList<Line> lines = SplitLines(ini);
  const Located at = Locate(ini, lines, section, key);

  if (at.keyLine >= 0) {
    const Line& line = lines[at.keyLine];
    qsizetype valueStart = line.begin + at.equals + 1;
    while (valueStart < line.contentEnd && IsBlank(ini[valueStart])) ++valueStart;
    return {valueStart, line.contentEnd - valueStart, value.toByteArray()};
  }

  const QByteArray assignment = key.toByteArray() + '=' + value.toByteArray();
  if (at.sectionHeader >= 0) {
    const Line& last = lines[at.lastContent];
    // The last line of the text may have no line end yet.
    const QByteArray before = last.end == last.contentEnd ? eol : QByteArray();
    return {last.end, 0, before + assignment + eol};
  }

  QByteArray added;
  if (!ini.isEmpty() && !ini.endsWith('\n') && !ini.endsWith('\r')) added += eol;
  added += '[' + section.toByteArray() + ']' + eol + assignment + eol;
  return {ini.size(), 0, added};
}

// How a settings file is stored, as the Windows profile routines take it: 8-bit text, UTF-8 after
// its byte-order mark, or UTF-16 after its byte-order mark. The mark stays, and so does the
// encoding: a file is never written back in another one, nor with two in it.
enum class Encoding { Bytes, Utf8Marked, Utf16LE, Utf16BE };

Encoding EncodingOf(const QByteArray& file) {
  if (file.startsWith("\xEF\xBB\xBF")) return Encoding::Utf8Marked;
  if (file.startsWith("\xFF\xFE")) return Encoding::Utf16LE;
  if (file.startsWith("\xFE\xFF")) return Encoding::Utf16BE;
  return Encoding::Bytes;
}

qsizetype MarkSize(Encoding e) {
  switch (e) {
    case Encoding::Utf8Marked:
      return 3;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
      return 2;
    case Encoding::Bytes:
      break;
  }
  return 0;
}

bool IsUtf16(Encoding e) { return e == Encoding::Utf16LE || e == Encoding::Utf16BE; }

char16_t Unit(const QByteArray& file, Encoding e, qsizetype index) {
  const auto lo = static_cast<std::uint8_t>(file[2 + 2 * index + (e == Encoding::Utf16LE ? 0 : 1)]);
  const auto hi = static_cast<std::uint8_t>(file[2 + 2 * index + (e == Encoding::Utf16LE ? 1 : 0)]);
  return static_cast<char16_t>(hi << 8 | lo);
}

// The text the line parser reads: for UTF-16 one byte per code unit, ASCII as itself and anything
// else as 0x80, which is never part of a name, a bracket, '=' or a line end. Offsets in it are
// code unit indexes of the file.
QByteArray ParserText(const QByteArray& file, Encoding e) {
  if (!IsUtf16(e)) return file.sliced(MarkSize(e));
  const qsizetype units = (file.size() - 2) / 2;
  QByteArray text(units, '\0');
  for (qsizetype i = 0; i < units; ++i) {
    const char16_t u = Unit(file, e, i);
    text[i] = u < 0x80 ? static_cast<char>(u) : '\x80';
  }
  return text;
}

QByteArray Applied(const QByteArray& file, Encoding e, const Edit& edit) {
  if (!IsUtf16(e)) {
    QByteArray out = file;
    out.replace(MarkSize(e) + edit.at, edit.removed, edit.inserted);
    return out;
  }
  // What is inserted is ASCII (the value, the key, the section, line ends); an odd last byte of
  // the file stays where it is.
  QByteArray wide;
  wide.reserve(edit.inserted.size() * 2);
  for (const char c : edit.inserted) {
    const char units[2] = {e == Encoding::Utf16LE ? c : '\0', e == Encoding::Utf16LE ? '\0' : c};
    wide.append(units, 2);
  }
  QByteArray out = file;
  out.replace(2 + 2 * edit.at, 2 * edit.removed, wide);
  return out;
}

}  // namespace

QByteArray UpdateIniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key, QByteArrayView value) {
  return Applied(ini, Encoding::Bytes, ValueEdit(ini, section, key, value));
}

std::optional<QByteArray> FindIniFileValue(const QByteArray& file, QByteArrayView section, QByteArrayView key) {
  return FindIniValue(ParserText(file, EncodingOf(file)), section, key);
}

QByteArray UpdateIniFile(const QByteArray& file, QByteArrayView section, QByteArrayView key, QByteArrayView value) {
  const Encoding e = EncodingOf(file);
  return Applied(file, e, ValueEdit(ParserText(file, e), section, key, value));
}

int ReadIniInteger(const QString& path, QByteArrayView section, QByteArrayView key, int fallback) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return fallback;
  const std::optional<QByteArray> value = FindIniFileValue(file.readAll(), section, key);
  if (!value) return fallback;
  return ParseIniInteger(*value).value_or(fallback);
}

namespace {

// Writes `bytes` over the file's content and reads them back, so that a write the file system cut
// short (a full disk, a size limit) is never taken for success.
bool WriteInPlace(const QString& path, const QByteArray& bytes, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    error = file.errorString();
    return false;
  }
  bool ok = file.write(bytes) == bytes.size() && file.flush();
  if (!ok) error = file.errorString();
  file.close();
  if (ok && file.error() != QFileDevice::NoError) {
    error = file.errorString();
    ok = false;
  }
  if (!ok) return false;
  QFile back(path);
  if (!back.open(QIODevice::ReadOnly) || back.readAll() != bytes) {
    error = QStringLiteral("the file does not hold what was written");
    return false;
  }
  return true;
}

}  // namespace

bool WriteIniValue(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView value,
                   QString& error, bool* oldContentLost) {
  if (oldContentLost != nullptr) *oldContentLost = false;
  QByteArray original;
  QFile existing(path);
  if (existing.exists()) {
    // A read-only file stays untouched, although replacing it through its folder would work.
    if (!existing.open(QIODevice::ReadWrite)) {
      error = existing.errorString();
      return false;
    }
    original = existing.readAll();
    existing.close();
  }
  const QByteArray updated = UpdateIniFile(original, section, key, value);
  // Through a temporary file beside it, so that a failed write leaves the old file whole. (Not with
  // QSaveFile's direct-write fallback: its commit() reports success for a write cut short.)
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    if (file.write(updated) == updated.size() && file.commit()) return true;
    error = file.errorString();
    return false;
  }
  if (!existing.exists()) {
    error = file.errorString();
    return false;
  }
  // A folder we may not create files in, but the file is ours: it is written in place, and its old
  // bytes go back if that fails.
  if (WriteInPlace(path, updated, error)) return true;
  QString ignored;
  if (!WriteInPlace(path, original, ignored) && oldContentLost != nullptr) *oldContentLost = true;
  return false;
}

}  // namespace i18n
