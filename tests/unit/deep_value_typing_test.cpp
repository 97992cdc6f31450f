// The readings behind the deep table's field types: numbers in either separator convention,
// dates in either day/month order, field names, and the encoding into the declared code page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "deep/code_page.h"
#include "deep/date_text.h"
#include "deep/field_names.h"
#include "deep/number_text.h"

namespace deep {
namespace {

std::string Read(std::u16string_view text, DecimalMark mark = DecimalMark::kUnknown) {
  const std::optional<DecimalNumber> number = ReadNumber(text, mark);
  return number ? number->Formatted(number->fractionPart.size()) : "not a number";
}

TEST(DeepNumberTextTest, ReadsEitherConventionToTheExactValue) {
  // Each text shows its decimal mark by itself.
  EXPECT_EQ(Read(u"0,79"), "0.79");
  EXPECT_EQ(Read(u"1 234,50"), "1234.50");
  EXPECT_EQ(Read(u"1\u202F234,5"), "1234.5");
  EXPECT_EQ(Read(u"1.234,50"), "1234.50");
  EXPECT_EQ(Read(u"1,234.50"), "1234.50");
  EXPECT_EQ(Read(u"1.234.567"), "1234567");
  EXPECT_EQ(Read(u"1'234.5"), "1234.5");
  EXPECT_EQ(Read(u" -3 "), "-3");
  EXPECT_EQ(Read(u"+12"), "12");
  EXPECT_EQ(Read(u"-0,00"), "0.00");
  EXPECT_EQ(Read(u",5"), "0.5");
  EXPECT_EQ(Read(u"007"), "7");
  EXPECT_EQ(Read(u"0,125"), "0.125");        // no thousands grouping starts with 0
  EXPECT_EQ(Read(u"1234,567"), "1234.567");  // nor with four digits
  EXPECT_EQ(MarkShownBy(u"0,79"), DecimalMark::kComma);
  EXPECT_EQ(MarkShownBy(u"1.234.567"), DecimalMark::kComma);
  EXPECT_EQ(MarkShownBy(u"1,234.5"), DecimalMark::kPoint);
  EXPECT_EQ(MarkShownBy(u"1 234"), DecimalMark::kUnknown);
  // A lone mark before exactly three digits follows the column; without one it is decimal.
  EXPECT_EQ(MarkShownBy(u"1,234"), DecimalMark::kUnknown);
  EXPECT_EQ(Read(u"1,234"), "1.234");
  EXPECT_EQ(Read(u"1.234"), "1.234");
  EXPECT_EQ(Read(u"1,234", DecimalMark::kComma), "1.234");
  EXPECT_EQ(Read(u"1,234", DecimalMark::kPoint), "1234");
  EXPECT_EQ(Read(u"12.500", DecimalMark::kComma), "12500");
  EXPECT_EQ(Read(u"1.234,5", DecimalMark::kPoint), "1234.5");  // its own marks win
  for (const char16_t* text :
       {u"", u"-", u"abc", u"12a", u"1..2", u"1.2.3", u"1,5 000", u"1.234,5,6", u"1.234 567,5",
        u"12,", u"1e5", u"€ 5", u"- 3", u"1.23.456", u"1234.567.890", u"12.345.67", u",123.456"}) {
    EXPECT_EQ(Read(text), "not a number");
  }
}

// Numbers written in either convention, grouped in every way, signed or not, with leading zeros:
// the column's own convention reads each to the value written, the text never shows the other
// convention, and one pass over the text answers as the separate readings do.
TEST(DeepNumberTextTest, GeneratedNumbersReadInTheirOwnConvention) {
  std::mt19937 random(1234);
  const auto digits = [&](size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  for (int n = 0; n < 20000; ++n) {
    const DecimalMark own = n % 2 ? DecimalMark::kComma : DecimalMark::kPoint;
    const char decimal = own == DecimalMark::kComma ? ',' : '.';
    const char16_t groupings[] = {0, own == DecimalMark::kComma ? u'.' : u',', u' ', u'\'', 0x00A0};
    const char16_t grouping = groupings[random() % 5];
    std::string integer = digits(random() % 13), fraction = digits(random() % 7);
    if (grouping != 0 && !integer.empty()) integer[0] = static_cast<char>('1' + random() % 9);
    if (integer.empty() && fraction.empty()) continue;
    const char* sign = random() % 3 == 0 ? "-" : random() % 2 ? "+" : "";

    std::u16string text(sign, sign + std::strlen(sign));
    for (size_t i = 0; i < integer.size(); ++i) {
      if (grouping != 0 && i > 0 && (integer.size() - i) % 3 == 0) text += grouping;
      text += static_cast<char16_t>(integer[i]);
    }
    if (!fraction.empty()) text += static_cast<char16_t>(decimal);
    text.append(fraction.begin(), fraction.end());

    const std::string significant =
        integer.substr(std::min(integer.find_first_not_of('0'), integer.size()));
    const bool zero = significant.empty() && fraction.find_first_not_of('0') == std::string::npos;
    const std::string value = (*sign == '-' && !zero ? "-" : "") +
                              (significant.empty() ? "0" : significant) +
                              (fraction.empty() ? "" : "." + fraction);
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(Read(text, own), value);
    EXPECT_NE(MarkShownBy(text),
              own == DecimalMark::kComma ? DecimalMark::kPoint : DecimalMark::kComma);

    const NumberReadings readings = ReadNumberEachWay(text);
    EXPECT_EQ(readings.shown, MarkShownBy(text));
    for (const DecimalMark mark :
         {DecimalMark::kUnknown, DecimalMark::kPoint, DecimalMark::kComma}) {
      const std::optional<DecimalNumber>& number = readings.byColumnMark[static_cast<size_t>(mark)];
      ASSERT_TRUE(number.has_value());
      const std::string read = Read(text, mark);
      const size_t point = std::min(read.find('.'), read.size());
      EXPECT_EQ(number->Formatted(number->fractionPart.size()), read);
      EXPECT_EQ(number->SignedIntegerWidth(), point);
      // Two more decimals, appended behind what the output holds already.
      std::string widened = "x", expected = "x";
      number->AppendFormatted(number->fractionPart.size() + 2, widened);
      expected += read;
      expected += point == read.size() ? ".00" : "00";
      EXPECT_EQ(widened, expected);
    }
  }
}

TEST(DeepDateTextTest, TellsWhichDayMonthOrdersGiveADate) {
  EXPECT_EQ(ReadDate(u"18/11/2004").validOrders, kDayFirst);
  EXPECT_EQ(ReadDate(u"11/18/2004").validOrders, kMonthFirst);
  EXPECT_EQ(ReadDate(u"03.04.05").validOrders, kEitherOrder);
  EXPECT_TRUE(ReadDate(u"03.04.05").orderMatters);
  EXPECT_FALSE(ReadDate(u"04-04-2005").orderMatters);
  EXPECT_EQ(ReadDate(u"2004-11-18").validOrders, kEitherOrder);
  EXPECT_FALSE(ReadDate(u"2004-11-18").orderMatters);
  EXPECT_EQ(ReadDate(u"31/04/2004").validOrders, 0);  // no 31 April, no month 31
  EXPECT_EQ(ReadDate(u"29/02/2005").validOrders, 0);
  for (const char16_t* text : {u"", u"18/11", u"18/11-2004", u"18/11/204", u"a/1/2004",
                               u"18//11/2004", u"1/2/3/4", u"2004-13-01", u"12:30"}) {
    EXPECT_EQ(ReadDate(text).validOrders, 0);
  }
  EXPECT_EQ(DateDigits(u"18/11/2004", kDayFirst), "20041118");
  EXPECT_EQ(DateDigits(u"11/18/2004", kMonthFirst), "20041118");
  EXPECT_EQ(DateDigits(u"29.2.2000", kDayFirst), "20000229");
  EXPECT_EQ(DateDigits(u"1/2/29", kMonthFirst), "20290102");  // two-digit years: 1930-2029
  EXPECT_EQ(DateDigits(u"1/2/30", kMonthFirst), "19300102");
  EXPECT_EQ(DateDigits(u"2004-11-18", kMonthFirst), "20041118");
  EXPECT_EQ(DateDigits(u"18/11/2004", kMonthFirst), std::nullopt);
}

TEST(DeepFieldNamesTest, NamesAreLegalShortAndUnique) {
  EXPECT_EQ(DbfFieldNames({u"Customer_name", u"Customer_number", u"Customer_1", u"Qty", u"qty",
                           u"Größe / Gewicht", u"2nd price", u"???", u"データ", u"_id_"}),
            (std::vector<std::string>{"Customer_n", "Customer_2", "Customer_1", "Qty", "qty_1",
                                      "Grosse_Gew", "F2nd_price", "Field_8", "Field_9", "id"}));
  // Many long names sharing their first ten characters.
  std::vector<std::u16string> names(12, u"Very long column name");
  const std::vector<std::string> fields = DbfFieldNames(names);
  EXPECT_EQ(fields[0], "Very_long");
  EXPECT_EQ(fields[1], "Very_lon_1");
  EXPECT_EQ(fields[11], "Very_lo_11");
}

TEST(DeepCodePageTest, EncodesWithoutTheMachineCodePage) {
  std::string out;
  EXPECT_EQ(AppendEncoded(u"a€é\u0178", OutputEncoding::kWindows1252, out), 0u);
  EXPECT_EQ(out, "a\x80\xE9\x9F");
  out.clear();
  // Greek omega, a C1 control and an emoji (one character of two units) are not in 1252.
  EXPECT_EQ(AppendEncoded(u"\u03A9\u0081x\U0001F600", OutputEncoding::kWindows1252, out), 3u);
  EXPECT_EQ(out, "??x?");
  out.clear();
  EXPECT_EQ(AppendEncoded(u"é\u20AC\U0001F600", OutputEncoding::kUtf8, out), 0u);
  EXPECT_EQ(out, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  out.clear();
  const std::u16string lone(1, char16_t(0xD800));
  EXPECT_EQ(AppendEncoded(lone + u"a", OutputEncoding::kUtf8, out), 1u);
  EXPECT_EQ(out, "?a");
}

// Plain ASCII is encoded in blocks: a character of any other kind at any place of a long run
// (a surrogate pair across the end of a block too) is encoded as it is alone.
TEST(DeepCodePageTest, PlainRunsBrokenAtEveryPlace) {
  const struct {
    std::u16string text;
    std::string windows1252, utf8;
    uint32_t notEncoded1252, notEncodedUtf8;
  } breakers[] = {
      {u"\u00E9", "\xE9", "\xC3\xA9", 0, 0},
      {u"\u20AC", "\x80", "\xE2\x82\xAC", 0, 0},
      {u"\u03A9", "?", "\xCE\xA9", 1, 0},
      {u"\U0001F600", "?", "\xF0\x9F\x98\x80", 1, 0},
      {std::u16string(1, char16_t(0xDC00)), "?", "?", 1, 1},
  };
  const std::string plain = "The quick brown fox jumps over the lazy dog, twice";
  const std::u16string plainText(plain.begin(), plain.end());
  for (const auto& breaker : breakers) {
    for (size_t at = 0; at <= plain.size(); ++at) {
      const std::u16string text = plainText.substr(0, at) + breaker.text + plainText.substr(at);
      // Appended behind what the output holds already.
      const std::string before = "x";
      std::string out = before;
      EXPECT_EQ(AppendEncoded(text, OutputEncoding::kWindows1252, out), breaker.notEncoded1252);
      EXPECT_EQ(out, before + plain.substr(0, at) + breaker.windows1252 + plain.substr(at)) << at;
      out = before;
      EXPECT_EQ(AppendEncoded(text, OutputEncoding::kUtf8, out), breaker.notEncodedUtf8);
      EXPECT_EQ(out, before + plain.substr(0, at) + breaker.utf8 + plain.substr(at)) << at;
    }
  }
}

}  // namespace
}  // namespace deep
