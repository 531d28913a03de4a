#include "labsync/ConnInfo.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>

namespace labsync {

Outcome CheckConnInfo(const QByteArray& conninfo) {
  if (conninfo.trimmed().isEmpty()) return {};
  // libpq's own reading of the string, so that both forms (key=value and URI, with their quoting
  // and percent-encoding) are judged exactly as the connection will read them. Its error text may
  // quote the string, password included, so it is dropped unread.
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.constData(), &error);
  if (error != nullptr) PQfreemem(error);
  if (options == nullptr) return Outcome::Fail(Failure::BadConnInfo);
  Outcome outcome;
  for (const PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (o->val == nullptr || *o->val == '\0') continue;
    if (std::strcmp(o->keyword, "password") == 0 || std::strcmp(o->keyword, "sslpassword") == 0) {
      outcome = Outcome::Fail(Failure::PasswordInConnInfo, QString::fromLatin1(o->keyword));
      break;
    }
  }
  PQconninfoFree(options);
  return outcome;
}

std::optional<std::chrono::seconds> ConnectTimeoutOf(const QByteArray& conninfo) {
  if (conninfo.trimmed().isEmpty()) return std::nullopt;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.constData(), &error);
  if (error != nullptr) PQfreemem(error);
  if (options == nullptr) return std::nullopt;
  std::optional<std::chrono::seconds> timeout;
  for (const PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (std::strcmp(o->keyword, "connect_timeout") != 0 || o->val == nullptr || *o->val == '\0') continue;
    bool ok = false;
    const int seconds = QByteArray(o->val).trimmed().toInt(&ok);
    // libpq: 0 or less waits for ever, 1 is taken as 2.
    if (ok && seconds > 0) timeout = std::chrono::seconds(std::max(seconds, 2));
  }
  PQconninfoFree(options);
  return timeout;
}

}  // namespace labsync
