#include "IniFile.h"

#include <QFile>
#include <QSaveFile>
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

QByteArray UpdateIniValue(const QByteArray& ini, QByteArrayView section, QByteArrayView key, QByteArrayView value) {
  const QByteArray eol = ini.contains("\r\n") ? QByteArray("\r\n")
                         : ini.contains('\n') ? QByteArray("\n")
                                              : QByteArray("\r\n");
  const QList<Line> lines = SplitLines(ini);
  const Located at = Locate(ini, lines, section, key);
  QByteArray out = ini;

  if (at.keyLine >= 0) {
    const Line& line = lines[at.keyLine];
    qsizetype valueStart = line.begin + at.equals + 1;
    while (valueStart < line.contentEnd && IsBlank(ini[valueStart])) ++valueStart;
    out.replace(valueStart, line.contentEnd - valueStart, value.toByteArray());
    return out;
  }

  QByteArray assignment = key.toByteArray() + '=' + value.toByteArray();
  if (at.sectionHeader >= 0) {
    const Line& last = lines[at.lastContent];
    if (last.end == last.contentEnd) {  // the last line of the text has no line end yet
      out.insert(last.end, eol + assignment + eol);
    } else {
      out.insert(last.end, assignment + eol);
    }
    return out;
  }

  if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r')) out += eol;
  out += '[' + section.toByteArray() + ']' + eol + assignment + eol;
  return out;
}

int ReadIniInteger(const QString& path, QByteArrayView section, QByteArrayView key, int fallback) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return fallback;
  const std::optional<QByteArray> value = FindIniValue(file.readAll(), section, key);
  if (!value) return fallback;
  return ParseIniInteger(*value).value_or(fallback);
}

bool WriteIniValue(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView value,
                   QString& error) {
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
  const QByteArray updated = UpdateIniValue(original, section, key, value);
  QSaveFile file(path);
  file.setDirectWriteFallback(true);  // a folder we may not create files in, but the file is ours
  if (!file.open(QIODevice::WriteOnly) || file.write(updated) != updated.size() || !file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace i18n
