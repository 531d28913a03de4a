// Bad specification input is refused with its message next to its field, in each language, and
// nothing is stored; good input adds a version, and a product in use is retired, not deleted.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "lab/windows/SpecificationsWindow.h"
#include "tests/support/ModalAnswerer.h"

namespace lab {
namespace {

struct Entry {
  SpecField field;
  const char* text;
};

TEST(SpecificationsWindow, BadInputIsRefusedAtItsFieldInEachLanguage) {
  QTemporaryDir dir;
  LabStore store(dir.filePath(QStringLiteral("lab.db")));
  Specification taken;
  taken.name = QStringLiteral("Taken");
  ASSERT_TRUE(store.AddProduct(taken));
  i18n::LanguageState language;
  SpecificationsWindow window(store, language);

  struct Case {
    std::vector<Entry> entries;
    SpecField at;
    std::array<const char16_t*, 3> message;  // English, German, French
  } cases[] = {
      {{{SpecField::Name, "  "}},
       SpecField::Name,
       {u"Enter a name.", u"Bitte einen Namen eingeben.", u"Saisissez un nom."}},
      {{{SpecField::Name, " taken "}},
       SpecField::Name,
       {u"Another product has this name.", u"Ein anderes Produkt hat diesen Namen.",
        u"Un autre produit porte ce nom."}},
      {{{SpecField::Target20, "80"}, {SpecField::Tolerance20, "0"}},
       SpecField::Tolerance20,
       {u"The tolerance must be a positive number.", u"Die Toleranz muss eine positive Zahl sein.",
        u"La tolérance doit être un nombre positif."}},
      {{{SpecField::Target20, "80"}, {SpecField::Tolerance20, "-1"}},
       SpecField::Tolerance20,
       {u"The tolerance must be a positive number.", u"Die Toleranz muss eine positive Zahl sein.",
        u"La tolérance doit être un nombre positif."}},
      {{{SpecField::Target60, "-3"}, {SpecField::Tolerance60, "2"}},
       SpecField::Target60,
       {u"The target must be a number of at least 0.", u"Der Sollwert muss eine Zahl ab 0 sein.",
        u"La cible doit être un nombre supérieur ou égal à 0."}},
      {{{SpecField::Target60, "inf"}, {SpecField::Tolerance60, "2"}},
       SpecField::Target60,
       {u"The target must be a number of at least 0.", u"Der Sollwert muss eine Zahl ab 0 sein.",
        u"La cible doit être un nombre supérieur ou égal à 0."}},
      {{{SpecField::WarningBand, "50,01"}},
       SpecField::WarningBand,
       {u"The warning band must lie between 0 and 50 %.", u"Das Warnband muss zwischen 0 und 50 % liegen.",
        u"La bande d’alerte doit être comprise entre 0 et 50 %."}},
      {{{SpecField::WarningBand, "-1"}},
       SpecField::WarningBand,
       {u"The warning band must lie between 0 and 50 %.", u"Das Warnband muss zwischen 0 und 50 % liegen.",
        u"La bande d’alerte doit être comprise entre 0 et 50 %."}},
      {{{SpecField::Target20, "80"}},
       SpecField::Tolerance20,
       {u"Give a target with its tolerance, or only a minimum, or only a maximum.",
        u"Bitte Sollwert und Toleranz angeben, oder nur ein Minimum, oder nur ein Maximum.",
        u"Indiquez une cible et sa tolérance, ou seulement un minimum, ou seulement un maximum."}},
      {{{SpecField::Minimum60, "80"}, {SpecField::Maximum60, "90"}},
       SpecField::Minimum60,
       {u"Give a target with its tolerance, or only a minimum, or only a maximum.",
        u"Bitte Sollwert und Toleranz angeben, oder nur ein Minimum, oder nur ein Maximum.",
        u"Indiquez une cible et sa tolérance, ou seulement un minimum, ou seulement un maximum."}},
      {{{SpecField::LargestHaze, "x"}},
       SpecField::LargestHaze,
       {u"The largest haze index must be a number of at least 0.", u"Der größte Haze-Index muss eine Zahl ab 0 sein.",
        u"L’indice de voile maximal doit être un nombre supérieur ou égal à 0."}},
  };
  for (int lang = 0; lang < 3; ++lang) {
    language.LanguageIndex = lang;
    window.ApplyLanguage();
    for (const Case& c : cases) {
      window.AddButton->click();
      window.Field(SpecField::Name)->setText(QStringLiteral("New"));
      for (const Entry& e : c.entries) window.Field(e.field)->setText(QString::fromUtf8(e.text));
      window.SaveButton->click();
      SCOPED_TRACE(window.Field(c.entries.front().field)->text().toStdString() + " in language " +
                   std::to_string(lang));
      EXPECT_EQ(window.Problem(c.at)->text(), QString::fromUtf16(c.message[static_cast<std::size_t>(lang)]));
      EXPECT_EQ(store.Products().size(), 1u);
    }
  }
  EXPECT_TRUE(store.Outbox(1).empty()) << "nothing but the first product reached the record";
}

TEST(SpecificationsWindow, BothDecimalMarksAVersionPerEditAndRetireInsteadOfDelete) {
  QTemporaryDir dir;
  LabStore store(dir.filePath(QStringLiteral("lab.db")));
  i18n::LanguageState language;
  SpecificationsWindow window(store, language);
  window.AddButton->click();
  window.Field(SpecField::Name)->setText(QStringLiteral("Satin"));
  window.Field(SpecField::Minimum20)->setText(QStringLiteral("12,5"));
  window.Field(SpecField::Target60)->setText(QStringLiteral("35.25"));
  window.Field(SpecField::Tolerance60)->setText(QStringLiteral("2,5"));
  window.Field(SpecField::WarningBand)->setText(QStringLiteral("12.5"));
  window.SaveButton->click();
  std::vector<Specification> products = store.Products();
  ASSERT_EQ(products.size(), 1u) << qPrintable(window.StatusLabel->text());
  EXPECT_EQ(products[0].limits.angle[0], AngleLimits::AtLeast(1250));
  EXPECT_EQ(products[0].limits.angle[1], AngleLimits::Around(3525, 250));
  EXPECT_EQ(products[0].limits.bandBasisPoints, 1250);

  window.Field(SpecField::Tolerance60)->setText(QStringLiteral("3"));
  window.SaveButton->click();
  products = store.Products();
  EXPECT_EQ(products[0].version, 2);
  EXPECT_EQ(window.StatusLabel->text(), QStringLiteral("Saved as version 2."));
  // The earlier version stays as it was, for the batches that began with it.
  EXPECT_EQ(store.SpecificationVersion(products[0].id - 1)->limits.angle[1], AngleLimits::Around(3525, 250));

  Batch batch;
  ASSERT_TRUE(store.StartBatch(QStringLiteral("B"), products[0].id, QString(), Instant::Now(), batch));
  window.DeleteButton->click();
  EXPECT_EQ(window.StatusLabel->text(), QStringLiteral("Batches use this product: it can be retired, not deleted."));
  window.RetireButton->click();
  EXPECT_EQ(store.Products(true)[0].state, Specification::State::Retired);
  EXPECT_EQ(window.ProductList->item(0)->text(), QStringLiteral("Satin (retired)"));
}

}  // namespace
}  // namespace lab
