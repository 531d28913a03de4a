// What the info dialog shows about the machine it runs on: the operating system's name and version,
// its registered owner, and where the running program file is. The dialog asks a SystemInfo for
// them each time it is shown; the platform's answers come from MakePlatformSystemInfo(), tests
// hand in their own.
#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

namespace dialogs {

// The operating system as the version line shows it: name + ", Version " + major.minor.build.
struct SystemVersion {
  // False when the system belongs to no family we know: the dialog then keeps its system lines
  // and looks for no owner.
  bool Known = false;
  QString Name;  // empty when the version has no name
  quint32 Major = 0;
  quint32 Minor = 0;
  quint32 Build = 0;  // as reported; the line shows its low 16 bits
  // The line under the version: the installed service pack or what stands for it; may be empty.
  QString ServicePack;
};

// The registered owner of the installation.
struct OwnerInfo {
  // False when there is no place that records an owner (or it cannot be read): the dialog then
  // keeps the owner labels as they are.
  bool Found = false;
  QString Name;          // empty when no owner is recorded
  QString Organisation;  // empty when no organisation is recorded
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual SystemVersion Version() const = 0;
  virtual OwnerInfo Owner() const = 0;
  // Full path of the running program file, whose version information the dialog shows.
  virtual QString ProgramFilePath() const = 0;
};

// The running system's answers.
std::unique_ptr<SystemInfo> MakePlatformSystemInfo();

// The version line: name + ", Version " + major.minor.build, in decimal, build limited to its low
// 16 bits (the 95/98/Me family keeps major and minor in the upper half of its build number).
QString SystemLine(const SystemVersion& version);

// A label would take a single "&" as an accelerator mark; doubled, it shows the "&" itself.
QString DoubleAmpersands(QString text);

// --- Windows -------------------------------------------------------------------------------
// The name of a Windows version by major and minor number; empty for any pair not listed.
QString WindowsVersionName(quint32 major, quint32 minor);
inline constexpr quint32 kWin32Windows = 1;  // the 95/98/Me family
inline constexpr quint32 kWin32NT = 2;       // the NT family
// What GetVersionExA reported, as the dialog shows it: the 95/98/Me family has no service-pack
// line, the NT family shows `csdVersion`, any other platform id is unknown.
SystemVersion FromWindowsVersion(quint32 major, quint32 minor, quint32 build, quint32 platformId,
                                 const QString& csdVersion);

// --- Unix ----------------------------------------------------------------------------------
// What a Unix system reports, as the dialog shows it (the mapping is described where it is made).
SystemVersion FromUnixVersion(const QString& prettyName, const QString& kernelName, const QString& kernelRelease);
// The full name in a password-database comment field: everything before the first comma.
QString FullNameFromGecos(const QByteArray& gecos);
// The first line of a small text file, trimmed; empty when there is no such file.
QString FirstLineOfFile(const QString& path);

}  // namespace dialogs
