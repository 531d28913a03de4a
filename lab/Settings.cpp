#include "lab/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lab {
namespace {

bool ValidKey(const QString& key) {
  if (key.isEmpty()) return false;
  for (const QChar c : key) {
    const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                    (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                    (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                    c == QLatin1Char('_') || c == QLatin1Char('-');
    if (!ok) return false;
  }
  return true;
}

// The key a line sets, or an empty text for a comment, a blank line or anything else.
QString KeyOf(const QString& line) {
  const QString trimmed = line.trimmed();
  if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) return {};
  const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
  if (eq <= 0) return {};
  return trimmed.left(eq).trimmed();
}

QString ValueOf(const QString& line) {
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  return line.mid(eq + 1).trimmed();
}

}  // namespace

QString DefaultSettingsPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/korvanta/korvanta.conf");
}

std::optional<QString> ReadSetting(const QString& path, const QString& key) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  std::optional<QString> value;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  for (const QString& line : lines) {
    if (KeyOf(line) == key) value = ValueOf(line);
  }
  return value;
}

bool WriteSetting(const QString& path, const QString& key, const QString& value, QString& error) {
  if (!ValidKey(key)) {
    error = QStringLiteral("\"%1\" is not a settings key").arg(key);
    return false;
  }
  QString clean = value;
  for (QChar& c : clean) {
    if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
  }
  clean = clean.trimmed();

  const QFileInfo info(path);
  if (!info.dir().exists()) {
    if (!QDir().mkpath(info.absolutePath())) {
      error = QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(info.absolutePath()));
      return false;
    }
    QFile::setPermissions(info.absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  QStringList lines;
  QFile old(path);
  if (old.exists()) {
    if (!old.open(QIODevice::ReadOnly)) {
      error = old.errorString();
      return false;
    }
    lines = QString::fromUtf8(old.readAll()).split(QLatin1Char('\n'));
    old.close();
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  }
  const QString line = key + QStringLiteral(" = ") + clean;
  // The last line that sets the key is the one that counts; earlier ones stay as they are.
  qsizetype at = -1;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (KeyOf(lines[i]) == key) at = i;
  }
  if (at >= 0) {
    const bool cr = lines[at].endsWith(QLatin1Char('\r'));
    lines[at] = cr ? line + QLatin1Char('\r') : line;
  } else {
    lines.append(line);
  }

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString();
    return false;
  }
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  if (!file.commit()) {
    error = file.errorString();
    return false;
  }
  // A file that was there keeps its permissions through the replacement: it too is the owner's only.
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  return true;
}

}  // namespace lab
