#include <gtest/gtest.h>

#include "i18n/Language.h"
#include "i18n/TextTable.h"
#include "tests/support/TestEnvironment.h"

namespace {

using namespace i18n;

TEST(TextTable, EachLanguageBecomesTheCurrentSet) {
  TextTable table;
  table.FillLanguageBlocks();
  struct Case {
    int language;
    const char16_t* connectionLost;
    const char16_t* flag;
    const char16_t* clearData;
  };
  const Case cases[] = {
      {kEnglish, u"Connection lost", u"CTRUK.ICO", u"Clear Data"},
      {kGerman, u"Verbindung unterbrochen", u"CTRGERM.ICO", u"Daten löschen"},
      {kFrench, u"Jonction perdue", u"CTRFRAN.ICO", u"Effacer les donées"},
  };
  for (const Case& c : cases) {
    table.LoadTextSet(c.language);
    EXPECT_EQ(table.Entry(Txt::ConnectionLost), QString::fromUtf16(c.connectionLost));
    EXPECT_EQ(table.Entry(Txt::FlagFile), QString::fromUtf16(c.flag));
    EXPECT_EQ(table.Entry(Txt::ClearData), QString::fromUtf16(c.clearData));
    EXPECT_TRUE(table.Slot(kCurrentBlock + Txt::End).has_value());
    EXPECT_EQ(table.Entry(Txt::End), QString());
    for (int k = Txt::DarkMeasurement20; k <= Txt::Locked; ++k) EXPECT_FALSE(table.Entry(k).isEmpty()) << k;
    EXPECT_FALSE(table.Slot(kCurrentBlock + kEntryCount).has_value());
  }
  // The blocks are stored German first.
  EXPECT_EQ(*table.Slot(kGermanBlock + Txt::Question), QStringLiteral("Frage"));
  EXPECT_EQ(*table.Slot(kEnglishBlock + Txt::AreYouSure), QStringLiteral("Are you shure ?"));
}

TEST(TextTable, AnIndexOutsideTheLanguagesKeepsTheCurrentSet) {
  TextTable table;
  table.FillLanguageBlocks();
  table.LoadTextSet(-1);  // at start-up nothing is current yet
  EXPECT_EQ(table.Entry(Txt::ConnectionLost), QString());
  table.LoadTextSet(kFrench);
  table.LoadTextSet(3);
  table.LoadTextSet(-1);
  EXPECT_EQ(table.Entry(Txt::ConnectionLost), QStringLiteral("Jonction perdue"));
}

TEST(LanguageSetting, ReadsTheLanguageOrEnglish) {
  testing_support::ScopedWorkingDir dir;
  const QString base = WorkingDirectoryBasePath();
  EXPECT_TRUE(base.endsWith(QDir::separator()));
  EXPECT_EQ(ReadLanguageSetting(base), kEnglish);  // no file
  struct Case {
    const char* content;
    int language;
  };
  const Case cases[] = {
      {"[Config]\r\nLanguage=1\r\n", kGerman},       {"[Config]\r\nLanguage=0x2\r\n", kFrench},
      {"[Config]\r\nLanguage=$2\r\n", kFrench},      {"[Config]\r\nLanguage=2\r\n", kFrench},
      {"[Config]\r\nLanguage=7\r\n", kEnglish},      {"[Config]\r\nLanguage=-1\r\n", kEnglish},
      {"[Config]\r\nLanguage=German\r\n", kEnglish}, {"[Other]\r\nLanguage=1\r\n", kEnglish},
  };
  for (const Case& c : cases) {
    testing_support::WriteFileBytes(dir.File(QStringLiteral("318qx.ini")), c.content);
    EXPECT_EQ(ReadLanguageSetting(base), c.language) << c.content;
  }
}

TEST(LanguageSetting, WritingKeepsTheRestOfTheFile) {
  testing_support::ScopedWorkingDir dir;
  LanguageState state;
  state.BasePath = WorkingDirectoryBasePath();
  testing_support::WriteFileBytes(state.SettingsPath(), "; mine\r\n[Config]\r\nLanguage=0\r\nKeep=me\r\n");
  state.LanguageIndex = kFrench;
  QString error;
  ASSERT_TRUE(WriteLanguageSetting(state, error));
  EXPECT_EQ(testing_support::ReadFileBytes(state.SettingsPath()),
            QByteArray("; mine\r\n[Config]\r\nLanguage=2\r\nKeep=me\r\n"));
  EXPECT_EQ(ReadLanguageSetting(state.BasePath), kFrench);
}

}  // namespace
