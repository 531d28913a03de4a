#include "labsync/ConnInfo.h"

#include <libpq-fe.h>

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

}  // namespace labsync
