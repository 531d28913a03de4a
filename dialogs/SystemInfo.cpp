#include "dialogs/SystemInfo.h"

#include <QFile>
#include <QFileInfo>

namespace dialogs {

QString SystemLine(const SystemVersion& version) {
  return version.Name + QStringLiteral(", Version ") + QString::number(version.Major) + QLatin1Char('.') +
         QString::number(version.Minor) + QLatin1Char('.') + QString::number(version.Build & 0xFFFFu);
}

QString DoubleAmpersands(QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); }

QString WindowsVersionName(quint32 major, quint32 minor) {
  struct Row {
    quint32 major;
    quint32 minor;
    const char* name;
  };
  // The first two names end in a blank, as they always have on this dialog.
  static constexpr Row kNames[] = {
      {6, 1, "Microsoft Windows 7 "}, {6, 0, "Microsoft Windows Vista "},
      {5, 2, "Windows Server 2003"},  {5, 1, "Windows XP"},
      {5, 0, "Windows 2000"},         {4, 90, "Windows Me"},
      {4, 10, "Windows 98"},          {4, 0, "Windows NT/95"},
  };
  for (const Row& row : kNames) {
    if (row.major == major && row.minor == minor) return QString::fromLatin1(row.name);
  }
  return {};
}

SystemVersion FromWindowsVersion(quint32 major, quint32 minor, quint32 build, quint32 platformId,
                                 const QString& csdVersion) {
  SystemVersion v;
  if (platformId != kWin32Windows && platformId != kWin32NT) return v;
  v.Known = true;
  v.Name = WindowsVersionName(major, minor);
  v.Major = major;
  v.Minor = minor;
  v.Build = build;
  if (platformId == kWin32NT) v.ServicePack = csdVersion;
  return v;
}

// On Unix the line keeps its composition with these equivalents:
//   name          the distribution's PRETTY_NAME (os-release), else the kernel's name;
//   major.minor   the first two numbers of the kernel release ("6.1.0-18-amd64" gives 6.1);
//   build         its third number (0 when missing), limited to 16 bits like a Windows build;
//   service pack  the kernel's name and full release, which also carry the distribution's
//                 patch level of the kernel that the three numbers leave out.
// A release that starts with no number gives 0.0.0; without a release the system is unknown.
SystemVersion FromUnixVersion(const QString& prettyName, const QString& kernelName, const QString& kernelRelease) {
  SystemVersion v;
  const QString release = kernelRelease.trimmed();
  if (release.isEmpty()) return v;
  v.Known = true;
  v.Name = prettyName.trimmed().isEmpty() ? kernelName.trimmed() : prettyName.trimmed();

  quint32* const parts[] = {&v.Major, &v.Minor, &v.Build};
  qsizetype at = 0;
  for (quint32* part : parts) {
    const qsizetype start = at;
    while (at < release.size() && release[at].isDigit() && release[at].unicode() < 0x80) ++at;
    if (at == start) break;
    bool ok = false;
    const quint32 n = release.mid(start, at - start).toUInt(&ok);
    *part = ok ? n : 0;  // a number beyond 32 bits says nothing useful
    if (at >= release.size() || release[at] != QLatin1Char('.')) break;
    ++at;
  }
  v.ServicePack = (kernelName.trimmed() + QLatin1Char(' ') + release).trimmed();
  return v;
}

QString FullNameFromGecos(const QByteArray& gecos) {
  const qsizetype comma = gecos.indexOf(',');
  return QString::fromLocal8Bit(comma < 0 ? gecos : gecos.left(comma)).trimmed();
}

QString FirstLineOfFile(const QString& path) {
  // Only a plain file: opening a pipe would wait for its writer, a device would never end.
  if (!QFileInfo(path).isFile()) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray line = file.readLine(4096);
  return QString::fromUtf8(line).trimmed();
}

}  // namespace dialogs
