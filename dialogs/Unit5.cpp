#include "dialogs/Unit5.h"

#include <algorithm>

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>

#include "dialogs/ProgramVersion.h"
#include "i18n/ExtraTexts.h"
#include "widgets/Art.h"
#include "widgets/Look.h"

namespace dialogs {
namespace {

using widgets::ColourFromBgr;
using widgets::kTitleColour;
using widgets::Named;
using widgets::PixelFont;
using widgets::SetTextColour;

// A label for what the system reports: plain text, whatever it looks like.
widgets::AutoLabel* DataLabel(const char* objectName, const char* text, int left, int top, const QFont& font,
                              QWidget* parent) {
  auto* l = new widgets::AutoLabel(QString::fromLatin1(objectName), QString::fromLatin1(text), left, top, Qt::AlignLeft,
                                   font, parent);
  l->setTextFormat(Qt::PlainText);
  return l;
}

widgets::ClickLabel* LinkLabel(const char* objectName, const QString& text, const QString& hint, int left, int top,
                               const QFont& font, QWidget* parent) {
  auto* l = Named(new widgets::ClickLabel(parent), objectName);
  QFont f = font;
  f.setUnderline(true);
  l->setFont(f);
  l->setTextFormat(Qt::PlainText);
  l->setText(text);
  l->setToolTip(hint);
  l->move(left, top);
  l->adjustSize();
  return l;
}

}  // namespace

TForm5::TForm5(const i18n::LanguageState& language, std::unique_ptr<SystemInfo> system, QWidget* parent)
    : ModalForm(QStringLiteral("Form5"), 514, 297, parent),
      OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      language_(language),
      system_(std::move(system)) {
  setWindowTitle(QStringLiteral("Info"));
  const QFont form(QStringLiteral("MS Sans Serif"), 8);
  setFont(form);

  Image1 = Named(new QLabel(this), "Image1");
  Image1->setPixmap(widgets::LoadArt(QStringLiteral("logo"), 124, 31));
  Image1->setGeometry(16, 16, 124, 31);
  Image2 = Named(new QLabel(this), "Image2");
  Image2->setPixmap(widgets::LoadArt(QStringLiteral("strip"), 249, 15));
  Image2->setGeometry(16, 56, 249, 15);
  Image2->hide();

  // The product title keeps its place before the registered sign at 359.
  const QFont title = widgets::TitleFont(form, QStringLiteral("KORVANTA III"), 359 - 160 - 2);
  Label6 = Named(new QLabel(QStringLiteral("KORVANTA III"), this), "Label6");
  Label6->setFont(title);
  Label6->move(160, 8);
  Label6->adjustSize();
  Label9 = Named(new QLabel(QStringLiteral("®"), this), "Label9");
  Label9->setFont(PixelFont(form, 16));
  Label9->move(359, 8);
  Label9->adjustSize();
  Label10 = Named(new QLabel(QStringLiteral("318 QX"), this), "Label10");
  Label10->setFont(title);
  Label10->move(384, 8);
  Label10->adjustSize();
  for (QLabel* l : {Label6, Label9, Label10}) SetTextColour(l, Qt::blue);

  sys = DataLabel("sys", "Windows 95/98/NT", 16, 120, form, this);
  sp = DataLabel("sp", "Service Pack", 16, 136, form, this);
  text1 = DataLabel("text1", "Version: 0.16.D", 16, 192, form, this);
  Label7 = DataLabel("Label7", "Lizenznehmer:", 16, 216, form, this);
  name = DataLabel("name", "Name", 16, 240, form, this);
  org = DataLabel("org", "Organisation", 16, 256, form, this);
  Label3 = DataLabel("Label3", "Internet:", 352, 224, form, this);

  web = LinkLabel("web", QStringLiteral("VOSKARIN Website"), QStringLiteral("Voskarin Website aufrufen"), 352, 243,
                  form, this);
  mail = LinkLabel("mail", QStringLiteral("EMail (") + SupportAddress() + QLatin1Char(')'),
                   QStringLiteral("EMail an Support senden"), 352, 256, form, this);
  // A long support address moves its link to the left rather than running off the dialog.
  mail->move(std::min(mail->x(), width() - mail->width() - 4), mail->y());

  ok = AddButton("ok", QStringLiteral("OK"), {408, 144, 73, 25}, widgets::mrOk);

  // The owner labels show the ampersands they are given doubled as one: like a caption with an
  // accelerator, which a label only is when it has a buddy. Doubled, no text of theirs ever names
  // a key.
  name->setBuddy(ok);
  org->setBuddy(ok);

  ColourLinks();
  connect(web, &widgets::ClickLabel::clicked, this, &TForm5::webClick);
  connect(mail, &widgets::ClickLabel::clicked, this, &TForm5::mailClick);
}

TForm5::~TForm5() = default;

void TForm5::ColourLinks() {
  const QPalette& p = palette();
  const bool light = p.color(QPalette::Window).lightness() >= 128;
  for (QLabel* l : {static_cast<QLabel*>(web), static_cast<QLabel*>(mail)}) {
    SetTextColour(l, light ? QColor(Qt::blue) : p.color(QPalette::Link));
  }
}

void TForm5::changeEvent(QEvent* event) {
  ModalForm::changeEvent(event);
  // A theme changed while the program runs.
  if (event->type() == QEvent::PaletteChange && web != nullptr && mail != nullptr) ColourLinks();
}

QString TForm5::WebAddress() { return QStringLiteral(KORVANTA_WEB_ADDRESS); }

QString TForm5::SupportAddress() { return QStringLiteral(KORVANTA_SUPPORT_MAIL); }

void TForm5::FormShow() {
  // 1. Heading of the owner block; a language we do not know keeps what the label shows.
  switch (language_.LanguageIndex) {
    case i18n::kEnglish:
      Label7->SetCaption(QStringLiteral("Licensee"));
      break;
    case i18n::kGerman:
      Label7->SetCaption(QStringLiteral("Lizenznehmer"));
      break;
    case i18n::kFrench:
      Label7->SetCaption(QStringLiteral("Licencié"));
      break;
    default:
      break;
  }

  // 2. Title colours.
  for (QLabel* l : {Label6, Label9, Label10}) SetTextColour(l, ColourFromBgr(kTitleColour));

  // 3. Operating system. A system of no family we know keeps both lines and has no owner.
  const SystemVersion version = system_->Version();
  if (version.Known) {
    sys->SetCaption(SystemLine(version));
    sp->SetCaption(version.ServicePack);

    // 4. Owner block; where no owner is recorded at all, the labels keep what they show.
    const OwnerInfo owner = system_->Owner();
    if (owner.Found) {
      name->SetCaption(DoubleAmpersands(owner.Name));
      org->SetCaption(DoubleAmpersands(owner.Organisation));
    }
  }

  // 5. Version line; its prefix is the same in every language.
  text1->SetCaption(QStringLiteral("Programm-Version: ") + ProductVersionText());
}

QString TForm5::ProductVersionText() const { return ProductVersionOfFile(system_->ProgramFilePath()); }

void TForm5::webClick() { Open(QUrl(WebAddress())); }

void TForm5::mailClick() { Open(QUrl(QStringLiteral("mailto:") + SupportAddress())); }

void TForm5::Open(const QUrl& url) {
  if (OpenUrl && OpenUrl(url)) return;
  QMessageBox::warning(this, windowTitle(),
                       i18n::ExtraText(i18n::Extra::AddressOpenFailed, language_.LanguageIndex).arg(url.toString()));
}

void TForm5::keyPressEvent(QKeyEvent* event) {
  // Escape ends the dialog as OK does; only the close box cancels it.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    done(widgets::mrOk);
    return;
  }
  ModalForm::keyPressEvent(event);
}

}  // namespace dialogs
