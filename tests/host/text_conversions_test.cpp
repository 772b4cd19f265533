#include "host/Conversions.h"
#include "host/HostError.h"

#include <gtest/gtest.h>
#include <optional>

using namespace host;

namespace {

struct WholeNumberCase {
    const char* text;
    std::optional<qint32> value; // nullopt: the conversion fails
    ErrorKind error = ErrorKind::TypeMismatch;
};

class TextToWholeNumber : public ::testing::TestWithParam<WholeNumberCase> {};

TEST_P(TextToWholeNumber, ConvertsOrRaises)
{
    const WholeNumberCase& c = GetParam();
    if (c.value) {
        EXPECT_EQ(textToWholeNumber(c.text), *c.value);
        return;
    }
    try {
        textToWholeNumber(c.text);
        FAIL() << "no error for " << c.text;
    } catch (const HostError& error) {
        EXPECT_EQ(error.kind(), c.error);
        EXPECT_TRUE(error.description().contains(c.text)) << error.description().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, TextToWholeNumber,
                         ::testing::Values(WholeNumberCase{"0", 0}, WholeNumberCase{"1", 1},
                                           WholeNumberCase{"2", 2}, WholeNumberCase{" 7 ", 7},
                                           WholeNumberCase{"-12", -12}, WholeNumberCase{"+3", 3},
                                           WholeNumberCase{"2.5", 2}, WholeNumberCase{"3.5", 4},
                                           WholeNumberCase{"1e3", 1000}, WholeNumberCase{"2147483647", 2147483647},
                                           WholeNumberCase{"", std::nullopt}, WholeNumberCase{"yes", std::nullopt},
                                           WholeNumberCase{"True", std::nullopt},
                                           WholeNumberCase{"1 2", std::nullopt},
                                           WholeNumberCase{"0x10", std::nullopt},
                                           WholeNumberCase{"nan", std::nullopt},
                                           WholeNumberCase{"2147483648", std::nullopt, ErrorKind::Overflow},
                                           WholeNumberCase{"-1e20", std::nullopt, ErrorKind::Overflow}));

struct BooleanCase {
    const char* text;
    std::optional<bool> value;
};

class TextToBoolean : public ::testing::TestWithParam<BooleanCase> {};

TEST_P(TextToBoolean, ConvertsOrRaises)
{
    const BooleanCase& c = GetParam();
    if (c.value) {
        EXPECT_EQ(textToBoolean(c.text), *c.value) << c.text;
        return;
    }
    try {
        textToBoolean(c.text);
        FAIL() << "no error for " << c.text;
    } catch (const HostError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::TypeMismatch);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, TextToBoolean,
                         ::testing::Values(BooleanCase{"True", true}, BooleanCase{"true", true},
                                           BooleanCase{"TRUE", true}, BooleanCase{"tRuE", true},
                                           BooleanCase{"False", false}, BooleanCase{"false", false},
                                           BooleanCase{"FALSE", false}, BooleanCase{"1", true},
                                           BooleanCase{"0", false}, BooleanCase{"-1", true},
                                           BooleanCase{"0.0", false}, BooleanCase{"0.5", true},
                                           BooleanCase{" True ", true}, BooleanCase{"", std::nullopt},
                                           BooleanCase{"yes", std::nullopt}, BooleanCase{"Truth", std::nullopt},
                                           BooleanCase{"T", std::nullopt}));

TEST(ValueToText, WritesDecimalDigitsAndBooleanWords)
{
    EXPECT_EQ(wholeNumberToText(0), "0");
    EXPECT_EQ(wholeNumberToText(2), "2");
    EXPECT_EQ(wholeNumberToText(-40), "-40");
    EXPECT_EQ(booleanToText(true), "True");
    EXPECT_EQ(booleanToText(false), "False");
    EXPECT_EQ(textToBoolean(booleanToText(true)), true);
    EXPECT_EQ(textToWholeNumber(wholeNumberToText(-32768)), -32768);
}

} // namespace
