#include "app/CaptureNaming.h"

#include <QList>
#include <gtest/gtest.h>

using namespace naming;

TEST(CaptureNaming, CounterHasAtLeastThreeDigits)
{
    const QList<std::pair<int, QString>> table = {{1, "001"}, {9, "009"},   {10, "010"},    {99, "099"},
                                                  {999, "999"}, {1000, "1000"}, {10001, "10001"}};
    for (const auto& [counter, text] : table)
        EXPECT_EQ(counterText(counter), text);
}

TEST(CaptureNaming, BmpIsAppendedUnlessTheNameEndsInItInAnyCase)
{
    const QList<std::pair<QString, QString>> table = {
        {"C:\\shot", "C:\\shot.BMP"}, {"C:\\shot.bmp", "C:\\shot.bmp"}, {"shot.Bmp", "shot.Bmp"},
        {"shot.BMP", "shot.BMP"},     {"", ".BMP"},                     {"bmp", "bmp.BMP"},
        {".bmp", ".bmp"},             {"shot.bmp ", "shot.bmp .BMP"},   {"shot.png", "shot.png.BMP"}};
    for (const auto& [name, expected] : table)
        EXPECT_EQ(withBmpExtension(name), expected) << name.toStdString();
}

TEST(CaptureNaming, OnlyBlanksAreTrimmedAndNumberedNamesUseTheTrimmedPrefix)
{
    EXPECT_EQ(trimBlanks("  C:\\shot  "), "C:\\shot");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks("\tshot\t"), "\tshot\t");
    EXPECT_EQ(numberedName("  C:\\Pravlek  ", 1), "C:\\Pravlek001.BMP");
    EXPECT_EQ(numberedName("C:\\Pravlek", 1000), "C:\\Pravlek1000.BMP");
    EXPECT_EQ(numberedName("   ", 1), "001.BMP");
}
