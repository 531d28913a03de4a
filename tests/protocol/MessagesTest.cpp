#include <gtest/gtest.h>

#include "protocol/Cp1252.h"
#include "protocol/Messages.h"
#include "protocol/OperatorRequests.h"
#include "protocol/PollingCycle.h"

namespace {

using namespace protocol;

std::array<std::uint8_t, 4> Half(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return {a, b, c, d};
}

TEST(Messages, FirmwareText) {
  struct Case {
    std::uint8_t a, b;
    const char* text;
  };
  const Case cases[] = {
      {0x07, 0x15, "No 318 QX -Device"},
      {0x00, 0x00, "No 318 QX -Device"},
      {0x08, 0x15, "08 15 "},
      {0xFF, 0x0A, "FF 0A "},
      {0x80, 0xAB, "80 AB "},
  };
  for (const Case& c : cases) EXPECT_EQ(FirmwareText(c.a, c.b), QString::fromLatin1(c.text)) << int(c.a);
}

TEST(Messages, ValuesAreJoinedDecimalMarkedAndSpaced) {
  struct Case {
    const char* what;
    std::array<std::uint8_t, 4> first;
    std::array<std::uint8_t, 4> second;
    bool is60;
    std::uint8_t separator;
    const char16_t* display;
    const char16_t* table;
  };
  const Case cases[] = {
      {"60° with ',' as the system mark", Half(0x20, 0x38, 0x02, 0x35), Half(0x2E, 0x33, 0x20, 0x20), true, ',',
       u"  8   5 , 3     ", u" 8 5,3  "},
      {"the same bytes at 20°", Half(0x20, 0x38, 0x02, 0x35), Half(0x2E, 0x33, 0x20, 0x20), false, '.',
       u"  8   5 , 3     ", u" 8 5,3  "},
      {"a 20° value with ',' keeps it", Half(' ', '1', 0, '2'), Half(',', '5', ' ', ' '), false, '.',
       u"  1   2 , 5     ", u" 1 2,5  "},
      {"60° ',' becomes '.' with '.' as the system mark", Half(' ', '1', 0, '2'), Half(',', '5', ' ', ' '), true, '.',
       u"  1   2 . 5     ", u" 1 2.5  "},
      {"a byte 0x00 disappears with its blank", Half(0x00, '9', 0x00, '1'), Half('.', '0', 0x00, 0x00), true, ',',
       u"9   1 , 0 ", u"9 1,0"},
      {"Windows-1252 characters", Half(0x80, 0xB0, 0x00, 'x'), Half(0xE9, 0x9F, ' ', 'A'), false, '.',
       u"€ °   x é Ÿ   A ", u"€° xéŸ A"},
      {"control bytes show as blanks", Half('\t', '1', 0x00, '\n'), Half('.', '5', 0x7F, 0x81), false, '.',
       u"  1     , 5     ", u" 1  ,5  "},
  };
  for (const Case& c : cases) {
    Value v = AssembleValue(c.first, c.second.data());
    EXPECT_EQ(v.mode, c.first[2]) << c.what;
    if (c.is60) {
      ApplyDecimalMark60(v, c.separator);
    } else {
      ApplyDecimalMark20(v);
    }
    EXPECT_EQ(DisplayText(v), QString::fromUtf16(c.display)) << c.what;
    EXPECT_EQ(TableText(v), QString::fromUtf16(c.table)) << c.what;
  }
}

TEST(Messages, ModeLettersTakeBitsOneZeroAndThree) {
  struct Case {
    std::uint8_t mode;
    const char* l;
    const char* c;
    const char* d;
  };
  const Case cases[] = {{0x0A, "L", " ", "D"}, {0x01, " ", "C", " "}, {0x00, " ", " ", " "},
                        {0xFF, "L", "C", "D"}, {0x04, " ", " ", " "}, {0xF0, " ", " ", " "}};
  for (const Case& c : cases) {
    const auto letters = ModeLetters(c.mode);
    EXPECT_EQ(letters[0], QLatin1String(c.l)) << int(c.mode);
    EXPECT_EQ(letters[1], QLatin1String(c.c)) << int(c.mode);
    EXPECT_EQ(letters[2], QLatin1String(c.d)) << int(c.mode);
  }
}

TEST(Messages, SerialAndGeometryTexts) {
  std::array<std::uint8_t, 10> serial{};
  EXPECT_EQ(SerialText(serial), QString());
  serial[3] = 0x41;
  EXPECT_EQ(SerialText(serial), QStringLiteral("A "));
  serial = {'Q', 'X', '1', '2', '3', '4', '5', '6', '7', 0xB0};
  EXPECT_EQ(SerialText(serial), QStringLiteral("Q X 1 2 3 4 5 6 7 ° "));

  const std::pair<int, const char16_t*> suffixes[] = {{0, u": -----"},     {1, u": 60°"},   {2, u": 20°"},
                                                      {3, u": 20° + 60°"}, {4, u": undef"}, {9, u": undef"},
                                                      {255, u": undef"},   {-1, u": undef"}};
  for (const auto& [code, suffix] : suffixes) EXPECT_EQ(GeometrySuffix(code), QString::fromUtf16(suffix)) << code;
}

TEST(Messages, RequestsSetOnlyTheirOwnBytes) {
  const Frame previous{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  Frame f = previous;
  BuildCommand(f, REQ_SHOT);
  EXPECT_EQ(f, (Frame{0xBB, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
  f = previous;
  BuildValue(f, kValue20Second);
  EXPECT_EQ(f, (Frame{0x55, 0x03, 0, 0, 0, 0, 0x77, 0x88}));
  f = previous;
  BuildReadByte(f, 0x0102);
  EXPECT_EQ(f, (Frame{0xA5, 0x01, 0x02, 0x00, 0xF7, 0x66, 0x77, 0x88}));
  f = previous;
  BuildFirmware(f);
  EXPECT_EQ(f, (Frame{0x5A, 0, 0, 0x44, 0x55, 0x66, 0x77, 0x88}));
}

TEST(Messages, Windows1252BothWays) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), QChar(0x20AC));
  EXPECT_EQ(Cp1252ToUnicode(0xB0), QChar(0xB0));
  EXPECT_EQ(Cp1252ToUnicode(0x81), QChar(0x81));
  EXPECT_EQ(Cp1252Encode(QStringLiteral("20°€Ÿé")), QByteArray("20\xB0\x80\x9F\xE9"));
  int unmappable = 0;
  EXPECT_EQ(Cp1252Encode(QString::fromUtf16(u"Ω ok 😀"), &unmappable), QByteArray("? ok ?"));
  EXPECT_EQ(unmappable, 2);
  for (int b = 0; b < 256; ++b) {
    std::uint8_t back = 0;
    ASSERT_TRUE(UnicodeToCp1252(Cp1252ToUnicode(static_cast<std::uint8_t>(b)), back));
    EXPECT_EQ(back, b);
  }
}

TEST(Messages, TrimAndTimeFormats) {
  EXPECT_EQ(TrimText(QStringLiteral("  D \t")), QStringLiteral("D"));
  EXPECT_EQ(TrimText(QString::fromLatin1("\x01L C\x1f ")), QStringLiteral("L C"));
  EXPECT_EQ(TrimText(QStringLiteral("   ")), QString());
  EXPECT_EQ(TrimText(QString::fromUtf16(u"\u007F\u0085 L C\u009F")), QStringLiteral("L C"));

  const std::pair<const char*, const char*> formats[] = {
      {"h:mm:ss AP t", "h:mm:ss AP"},
      {"HH:mm:ss t", "HH:mm:ss"},
      {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'"},
      {"tttt HH:mm:ss", "HH:mm:ss"},
      {"HH 'at' mm:ss t", "HH 'at' mm:ss"},
      {"HH:mm:ss", "HH:mm:ss"},
  };
  for (const auto& [format, expected] : formats) {
    EXPECT_EQ(WithoutTimeZone(QString::fromLatin1(format)), QString::fromLatin1(expected)) << format;
  }
}

TEST(OperatorRequests, ButtonsAndChoicesGiveTheirRequestCodes) {
  EXPECT_EQ(MeasureRequest(0), rc::kShot);
  EXPECT_EQ(MeasureRequest(1), rc::kDark);
  struct Case {
    RadioSource source;
    int item;
    std::optional<std::uint8_t> request;
  };
  const Case cases[] = {
      {RadioSource::Orientation, 0, rc::kOrientNormal},
      {RadioSource::Orientation, 1, rc::kOrient180},
      {RadioSource::Orientation, 2, std::nullopt},
      {RadioSource::MeasuringGeometry, 0, rc::kGeo20},
      {RadioSource::MeasuringGeometry, 1, rc::kGeo60},
      {RadioSource::MeasuringGeometry, 2, rc::kGeoBoth},
      {RadioSource::Shot, 0, std::nullopt},
      {RadioSource::Shot, 1, rc::kShot},
      {RadioSource::Shot, 2, rc::kDark},
      {RadioSource::Shot, -1, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(RadioRequest(c.source, c.item), c.request) << c.item;
}

TEST(OperatorRequests, TestReadings) {
  const std::tuple<int, const char*, const char*> cases[] = {
      {905, "90.5", "C"}, {900, "90.0", ""},  {99, "9.9", "D"},  {0, "0.0", "D"},
      {100, "10.0", ""},  {998, "99.8", "C"}, {500, "50.0", ""},
  };
  for (const auto& [n, value, mode] : cases) {
    const TestReading r = MakeTestReading(n);
    EXPECT_EQ(r.value, QLatin1String(value)) << n;
    EXPECT_EQ(r.mode, QLatin1String(mode)) << n;
  }
}

}  // namespace
