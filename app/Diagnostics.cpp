#include "app/Diagnostics.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "journal/JournalStore.h"
#include "usb/Trace.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace app {

Q_LOGGING_CATEGORY(lcApp, "korvanta.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUsb, "korvanta.usb", QtWarningMsg)

namespace {

QMutex g_mutex;
std::unique_ptr<DebugLogFile> g_debugLog;
bool g_installed = false;

bool IsOurs(const char* category) { return category != nullptr && std::strncmp(category, "korvanta.", 9) == 0; }

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  // Our own warnings keep the text they have always had; everything else is formatted as the
  // toolkit would, which starts a debug line with its category's name.
  const bool plain = IsOurs(context.category) && type != QtDebugMsg && type != QtInfoMsg;
  const QByteArray line = (plain ? text : qFormatLogMessage(type, context, text)).toLocal8Bit();
  {
    QMutexLocker lock(&g_mutex);
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
    if (g_debugLog) {
      g_debugLog->Append(QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1() + ' ' + line);
    }
  }
  if (type == QtFatalMsg) std::abort();
}

void UsbSink(usb::TraceLevel level, const std::string& line) {
  if (level == usb::TraceLevel::Warning) {
    qCWarning(lcUsb, "%s", line.c_str());
  } else {
    qCDebug(lcUsb, "%s", line.c_str());
  }
}

}  // namespace

QString DebugLogPath() { return journal::DefaultFolder() + QStringLiteral("/debug.log"); }

DebugLogFile::DebugLogFile(const QString& path, qint64 capBytes) : path_(path), cap_(capBytes) {
  const QString folder = QFileInfo(path).absolutePath();
#ifdef Q_OS_UNIX
  const QByteArray folderName = QFile::encodeName(folder);
  if (!QDir().mkpath(folder) || ::chmod(folderName.constData(), 0700) != 0) {
    problem_ = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd_ < 0 || ::fchmod(fd_, 0600) != 0) {
    problem_ = QString::fromLocal8Bit(std::strerror(errno));
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return;
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0) size_ = st.st_size;
#else
  problem_ = QStringLiteral("not supported on this platform");
#endif
}

DebugLogFile::~DebugLogFile() {
#ifdef Q_OS_UNIX
  if (fd_ >= 0) ::close(fd_);
#endif
}

void DebugLogFile::Append(const QByteArray& line) {
#ifdef Q_OS_UNIX
  if (fd_ < 0) return;
  const QByteArray record = line + '\n';
  if (size_ + record.size() > cap_) DropOldestHalf();
  if (size_ + record.size() > cap_) return;  // a single line over the cap is not kept
  const char* data = record.constData();
  qint64 left = record.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, data, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk loses debug lines, never the program's work
    data += n;
    left -= n;
    size_ += n;
  }
#else
  Q_UNUSED(line);
#endif
}

void DebugLogFile::DropOldestHalf() {
#ifdef Q_OS_UNIX
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return;
  QByteArray content = file.readAll();
  file.close();
  qsizetype from = content.indexOf('\n', content.size() / 2);
  from = from < 0 ? content.size() : from + 1;
  content.remove(0, from);
  if (::ftruncate(fd_, 0) != 0) return;
  size_ = 0;
  const char* data = content.constData();
  qint64 left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, data, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    left -= n;
    size_ += n;
  }
#endif
}

QString InstallDiagnostics(bool debug, const QString& debugLogPath) {
  QString problem;
  if (debug) {
    QLoggingCategory::setFilterRules(QStringLiteral("korvanta.*.debug=true"));
    auto log = std::make_unique<DebugLogFile>(debugLogPath);
    if (log->IsOpen()) {
      QMutexLocker lock(&g_mutex);
      g_debugLog = std::move(log);
    } else {
      problem = log->Problem();
    }
  }
  qInstallMessageHandler(Handle);
  g_installed = true;
  usb::SetTraceSink(UsbSink, lcUsb().isDebugEnabled());
  return problem;
}

void RemoveDiagnostics() {
  if (!g_installed) return;
  usb::SetTraceSink(nullptr, false);
  qInstallMessageHandler(nullptr);
  QMutexLocker lock(&g_mutex);
  g_debugLog.reset();
  g_installed = false;
}

}  // namespace app
