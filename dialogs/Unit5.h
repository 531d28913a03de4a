// TForm5: the info dialog. Shows the program version, the operating system and its registered
// owner, and links to the maker's web site and support mailbox. Everything is gathered anew each
// time it is shown.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <functional>
#include <memory>

#include "dialogs/SystemInfo.h"
#include "i18n/Language.h"
#include "widgets/AutoLabel.h"
#include "widgets/ClickLabel.h"
#include "widgets/ModalForm.h"

namespace dialogs {

class TForm5 : public widgets::ModalForm {
  Q_OBJECT
 public:
  // `language` gives LanguageIndex; `system` answers what the dialog shows about the machine.
  TForm5(const i18n::LanguageState& language, std::unique_ptr<SystemInfo> system, QWidget* parent = nullptr);
  ~TForm5() override;

  QLabel* Image1;
  QLabel* Image2;
  QLabel* Label6;
  QLabel* Label9;
  QLabel* Label10;
  widgets::AutoLabel* sys;
  widgets::AutoLabel* sp;
  widgets::AutoLabel* text1;
  widgets::AutoLabel* Label7;
  widgets::AutoLabel* name;
  widgets::AutoLabel* org;
  widgets::AutoLabel* Label3;
  widgets::ClickLabel* web = nullptr;
  widgets::ClickLabel* mail = nullptr;
  QPushButton* ok;

  void webClick();
  void mailClick();
  // The program's product version as "a.b.c.d", read from the program file's own version
  // information; empty when it cannot be read.
  QString ProductVersionText() const;

  // The maker's web site and support mailbox, chosen when the program is built.
  static QString WebAddress();
  static QString SupportAddress();

  // Hands an address to the desktop; false when no program could be started for it.
  std::function<bool(const QUrl&)> OpenUrl;

 protected:
  void FormShow() override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Open(const QUrl& url);
  // The links in blue on a light window, as designed; on a dark one in the palette's link colour,
  // which the desktop's theme makes readable there.
  void ColourLinks();

  const i18n::LanguageState& language_;
  std::unique_ptr<SystemInfo> system_;
};

}  // namespace dialogs
