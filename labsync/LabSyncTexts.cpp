#include "labsync/LabSyncTexts.h"

#include "i18n/TextRows.h"

namespace labsync {
namespace {

using T = LabSyncText;

// French puts a no-break space before a colon or semicolon.
constexpr i18n::TextRow<T> kRows[] = {
    {T::StatusConnecting, u"Lab database: connecting · %1 waiting",
     u"Labordatenbank: Verbindung wird hergestellt · %1 ausstehend",
     u"Base de données du laboratoire\u00A0: connexion en cours · %1 en attente"},
    {T::StatusConnected, u"Lab database: connected · %1 waiting", u"Labordatenbank: verbunden · %1 ausstehend",
     u"Base de données du laboratoire\u00A0: connectée · %1 en attente"},
    {T::StatusUnreachable, u"Lab database: unreachable since %1 · %2 waiting",
     u"Labordatenbank: nicht erreichbar seit %1 · %2 ausstehend",
     u"Base de données du laboratoire\u00A0: injoignable depuis %1 · %2 en attente"},
    {T::StatusStopped, u"Lab database: stopped · %1 waiting", u"Labordatenbank: angehalten · %1 ausstehend",
     u"Base de données du laboratoire\u00A0: arrêtée · %1 en attente"},

    {T::BadConnInfo,
     u"The connection string of the lab database cannot be read. Write it as key=value pairs (host=... "
     u"dbname=...), as a postgresql:// address or as service=NAME.",
     u"Die Verbindungsangabe der Labordatenbank ist nicht lesbar. Schreiben Sie sie als Schlüssel=Wert-Paare "
     u"(host=... dbname=...), als postgresql://-Adresse oder als service=NAME.",
     u"La chaîne de connexion de la base de données du laboratoire est illisible. Écrivez-la sous forme de paires "
     u"clé=valeur (host=... dbname=...), d’adresse postgresql:// ou de service=NOM."},
    {T::PasswordInConnInfo,
     u"The connection string holds a password. The program never keeps passwords: put it in the PostgreSQL "
     u"password file (~/.pgpass, or the file PGPASSFILE names) or in a service file (~/.pg_service.conf), or use a "
     u"TLS client certificate, and take it out of the connection string.",
     u"Die Verbindungsangabe enthält ein Passwort. Das Programm speichert nie Passwörter: Tragen Sie es in die "
     u"PostgreSQL-Passwortdatei (~/.pgpass oder die in PGPASSFILE genannte Datei) oder in eine Dienstdatei "
     u"(~/.pg_service.conf) ein, oder verwenden Sie ein TLS-Client-Zertifikat, und entfernen Sie es aus der "
     u"Verbindungsangabe.",
     u"La chaîne de connexion contient un mot de passe. Le programme n’enregistre jamais de mot de passe\u00A0: "
     u"placez-le dans le fichier de mots de passe de PostgreSQL (~/.pgpass, ou le fichier que nomme PGPASSFILE) ou "
     u"dans un fichier de service (~/.pg_service.conf), ou utilisez un certificat client TLS, puis retirez-le de la "
     u"chaîne de connexion."},
    {T::Unreachable, u"The server of the lab database cannot be reached.",
     u"Der Server der Labordatenbank ist nicht erreichbar.",
     u"Le serveur de la base de données du laboratoire est injoignable."},
    {T::TimedOut, u"The server of the lab database did not answer in time.",
     u"Der Server der Labordatenbank hat nicht rechtzeitig geantwortet.",
     u"Le serveur de la base de données du laboratoire n’a pas répondu à temps."},
    {T::ConnectionLost, u"The connection to the lab database was lost.",
     u"Die Verbindung zur Labordatenbank ist abgebrochen.",
     u"La connexion à la base de données du laboratoire a été perdue."},
    {T::PasswordMissing,
     u"The lab database asks for a password, and none was found. Put it in the PostgreSQL password file "
     u"(~/.pgpass) or in a service file, or use a TLS client certificate.",
     u"Die Labordatenbank verlangt ein Passwort, und es wurde keines gefunden. Tragen Sie es in die "
     u"PostgreSQL-Passwortdatei (~/.pgpass) oder in eine Dienstdatei ein, oder verwenden Sie ein "
     u"TLS-Client-Zertifikat.",
     u"La base de données du laboratoire demande un mot de passe et aucun n’a été trouvé. Placez-le dans le "
     u"fichier de mots de passe de PostgreSQL (~/.pgpass) ou dans un fichier de service, ou utilisez un certificat "
     u"client TLS."},
    {T::WrongPassword, u"Wrong password for the lab database.", u"Falsches Passwort für die Labordatenbank.",
     u"Mot de passe incorrect pour la base de données du laboratoire."},
    {T::NoDatabase, u"The lab database does not exist on the server.",
     u"Die Labordatenbank existiert auf dem Server nicht.",
     u"La base de données du laboratoire n’existe pas sur le serveur."},
    {T::NotAllowed,
     u"This user is not allowed to use the lab database. Ask the lab's administrator for the rights of "
     u"korvanta_station.",
     u"Dieser Benutzer darf die Labordatenbank nicht verwenden. Bitten Sie den Administrator des Labors um die "
     u"Rechte von korvanta_station.",
     u"Cet utilisateur n’a pas le droit d’utiliser la base de données du laboratoire. Demandez à l’administrateur "
     u"du laboratoire les droits de korvanta_station."},
    {T::SchemaMissing,
     u"The lab database has not been set up yet: the lab's administrator runs korvanta --init-lab-database.",
     u"Die Labordatenbank ist noch nicht eingerichtet: Der Administrator des Labors führt korvanta "
     u"--init-lab-database aus.",
     u"La base de données du laboratoire n’est pas encore configurée\u00A0: l’administrateur du laboratoire "
     u"exécute korvanta --init-lab-database."},
    {T::SchemaTooOld,
     u"The lab database has an older schema (%1) than this program needs (%2): the lab's administrator runs "
     u"korvanta --init-lab-database to upgrade it. Until then nothing is sent: the changes wait on this station.",
     u"Die Labordatenbank hat ein älteres Schema (%1), als dieses Programm braucht (%2): Der Administrator des "
     u"Labors aktualisiert es mit korvanta --init-lab-database. Bis dahin wird nichts gesendet: Die Änderungen "
     u"warten auf dieser Station.",
     u"La base de données du laboratoire a un schéma plus ancien (%1) que celui dont ce programme a besoin "
     u"(%2)\u00A0: l’administrateur du laboratoire le met à jour avec korvanta --init-lab-database. D’ici là, rien "
     u"n’est envoyé\u00A0: les modifications attendent sur ce poste."},
    {T::SchemaTooNew,
     u"The lab database was set up by a newer version of korvanta (schema %1; this program knows %2). Nothing is "
     u"sent to it: the readings wait on this station until the program is updated.",
     u"Die Labordatenbank wurde von einer neueren Version von korvanta eingerichtet (Schema %1; dieses Programm "
     u"kennt %2). Es wird nichts an sie gesendet: Die Messwerte warten auf dieser Station, bis das Programm "
     u"aktualisiert ist.",
     u"La base de données du laboratoire a été configurée par une version plus récente de korvanta (schéma "
     u"%1\u00A0; ce programme connaît %2). Rien ne lui est envoyé\u00A0: les mesures attendent sur ce poste "
     u"jusqu’à la mise à jour du programme."},
    {T::BadData, u"The lab database sent data that cannot be used (%1); it was refused.",
     u"Die Labordatenbank hat unbrauchbare Daten geliefert (%1); sie wurden zurückgewiesen.",
     u"La base de données du laboratoire a envoyé des données inutilisables (%1)\u00A0; elles ont été refusées."},
    {T::Refused, u"The lab database refused changes (error %1, %2). They stay on this station and are sent again.",
     u"Die Labordatenbank hat Änderungen abgelehnt (Fehler %1, %2). Sie bleiben auf dieser Station und werden "
     u"erneut gesendet.",
     u"La base de données du laboratoire a refusé des modifications (erreur %1, %2). Elles restent sur ce poste et "
     u"seront renvoyées."},
    {T::ServerError, u"The server of the lab database reported an error (%1).",
     u"Der Server der Labordatenbank hat einen Fehler gemeldet (%1).",
     u"Le serveur de la base de données du laboratoire a signalé une erreur (%1)."},
    {T::BadLocalData,
     u"A change waiting on this station cannot be sent as it stands (%1). It and the changes after it stay here.",
     u"Eine auf dieser Station wartende Änderung kann so nicht gesendet werden (%1). Sie und die folgenden "
     u"Änderungen bleiben hier.",
     u"Une modification en attente sur ce poste ne peut pas être envoyée telle quelle (%1). Elle et les suivantes "
     u"restent ici."},
    {T::OutboxUnreadable, u"The changes waiting on this station cannot be read.",
     u"Die auf dieser Station wartenden Änderungen können nicht gelesen werden.",
     u"Les modifications en attente sur ce poste ne peuvent pas être lues."},

    {T::ConflictChanged,
     u"Someone else changed this product on the lab database meanwhile. The list shows it as it is now; make "
     u"the change again if it is still needed.",
     u"Jemand anderes hat dieses Produkt in der Labordatenbank inzwischen geändert. Die Liste zeigt es, wie es "
     u"jetzt ist; nehmen Sie die Änderung erneut vor, falls sie noch nötig ist.",
     u"Quelqu’un d’autre a modifié ce produit dans la base de données du laboratoire entre-temps. La liste le "
     u"montre tel qu’il est maintenant\u00A0; refaites la modification si elle est toujours nécessaire."},
    {T::ConflictName, u"The lab database has another product of this name.",
     u"Die Labordatenbank hat bereits ein anderes Produkt dieses Namens.",
     u"La base de données du laboratoire a déjà un autre produit de ce nom."},

    {T::InitCreated, u"Lab database set up (schema %1).", u"Labordatenbank eingerichtet (Schema %1).",
     u"Base de données du laboratoire configurée (schéma %1)."},
    {T::InitUpgraded, u"Lab database upgraded from schema %1 to %2.",
     u"Labordatenbank von Schema %1 auf %2 aktualisiert.",
     u"Base de données du laboratoire mise à jour du schéma %1 au schéma %2."},
    {T::InitRenewed, u"Lab database already at schema %1; rights renewed.",
     u"Labordatenbank hat bereits Schema %1; Rechte erneuert.",
     u"Base de données du laboratoire déjà au schéma %1\u00A0; droits renouvelés."},
    {T::InitLeftNewerMinor,
     u"The lab database has schema %1, newer than this program's %2 and compatible with it; it was left as it is.",
     u"Die Labordatenbank hat Schema %1, neuer als %2 dieses Programms und damit verträglich; sie bleibt, wie sie "
     u"ist.",
     u"La base de données du laboratoire a le schéma %1, plus récent que le %2 de ce programme et compatible avec "
     u"lui\u00A0; elle reste telle quelle."},
    {T::InitRolesGranted, u"Rights given to %1.", u"Rechte vergeben an %1.", u"Droits accordés à %1."},
    {T::InitNoRoles, u"Neither %1 nor %2 exists: no rights given.",
     u"Weder %1 noch %2 existiert: keine Rechte vergeben.", u"Ni %1 ni %2 n’existe\u00A0: aucun droit accordé."},
    {T::InitFailed, u"The lab database cannot be set up: %1", u"Die Labordatenbank kann nicht eingerichtet werden: %1",
     u"La base de données du laboratoire ne peut pas être configurée\u00A0: %1"},
};

}  // namespace

QString Text(LabSyncText id, int languageIndex) { return i18n::PickText(kRows, id, languageIndex); }

QString ReasonText(const Outcome& outcome, int lang) {
  const QString ours = kSchemaVersion.Text();
  switch (outcome.failure) {
    case Failure::None:
    case Failure::Stopped:
      return {};
    case Failure::BadConnInfo:
      return Text(T::BadConnInfo, lang);
    case Failure::PasswordInConnInfo:
      return Text(T::PasswordInConnInfo, lang);
    case Failure::Unreachable:
      return Text(T::Unreachable, lang);
    case Failure::TimedOut:
      return Text(T::TimedOut, lang);
    case Failure::ConnectionLost:
      return Text(T::ConnectionLost, lang);
    case Failure::PasswordMissing:
      return Text(T::PasswordMissing, lang);
    case Failure::WrongPassword:
      return Text(T::WrongPassword, lang);
    case Failure::NoDatabase:
      return Text(T::NoDatabase, lang);
    case Failure::NotAllowed:
      return Text(T::NotAllowed, lang);
    case Failure::SchemaMissing:
      return Text(T::SchemaMissing, lang);
    case Failure::SchemaTooOld:
      return Text(T::SchemaTooOld, lang).arg(outcome.detail, ours);
    case Failure::SchemaTooNew:
      return Text(T::SchemaTooNew, lang).arg(outcome.detail, ours);
    case Failure::BadData:
      return Text(T::BadData, lang).arg(outcome.detail);
    case Failure::Refused:
      return Text(T::Refused, lang).arg(outcome.sqlState, outcome.detail);
    case Failure::ServerError:
      return Text(T::ServerError, lang).arg(outcome.sqlState);
    case Failure::BadLocalData:
      return Text(T::BadLocalData, lang).arg(outcome.detail);
    case Failure::OutboxUnreadable:
      return Text(T::OutboxUnreadable, lang);
    case Failure::Conflict:
      return Text(outcome.detail == QLatin1String("name") ? T::ConflictName : T::ConflictChanged, lang);
  }
  return {};
}

QString StatusLine(const LinkStatus& status, int lang) {
  const QString waiting = status.waiting < 0 ? QStringLiteral("?") : QString::number(status.waiting);
  switch (status.state) {
    case LinkStatus::State::Connecting:
      return Text(T::StatusConnecting, lang).arg(waiting);
    case LinkStatus::State::Connected:
      return Text(T::StatusConnected, lang).arg(waiting);
    case LinkStatus::State::Unreachable:
      return Text(T::StatusUnreachable, lang).arg(status.since.toString(QStringLiteral("HH:mm")), waiting);
    case LinkStatus::State::Stopped:
      return Text(T::StatusStopped, lang).arg(waiting);
  }
  return {};
}

}  // namespace labsync
