#include "capture/CaptureNaming.h"
#include "host/Files.h"
#include "tests/support/Files.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace capture;

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

TEST(CaptureNaming, DatePatternsTakeTheTimeOfTheSaveAndOtherPercentSignsStay)
{
    const QDateTime when(QDate(2026, 3, 7), QTime(9, 5, 4));
    const QList<std::pair<QString, QString>> table = {
        {"~/Pictures/shot-%Y-%m-%d-", "~/Pictures/shot-2026-03-07-"},
        {"%H%M%S", "090504"},
        {"100%% %d", "100% 07"},
        {"%y %q %", "%y %q %"},
        {"%%Y", "%Y"},
        {"%%%Y%", "%2026%"},
        {"", ""}};
    for (const auto& [prefix, named] : table)
        EXPECT_EQ(withDates(prefix, when), named) << prefix.toStdString();
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

// A name taken in any form is passed over, also one taken after the free
// name was found: at the commit, which replaces nothing.
TEST(CaptureNaming, NumberingPassesOverANameTakenInAnyFormAndAtTheCommit)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath("p");
    QFile::link("/media/gone/p001.BMP", prefix + "001.BMP");
    host::AtomicFile file(*firstFreeNumberedName(prefix), host::AtomicFile::Existing::Keep);
    file.write("ours", 4);
    testing_support::writeFile(prefix + "002.BMP", "another program's");
    EXPECT_EQ(commitNumbered(file, prefix), prefix + "003.BMP");
    EXPECT_EQ(testing_support::readAll(prefix + "002.BMP"), "another program's");
    EXPECT_EQ(testing_support::readAll(prefix + "003.BMP"), "ours");
}
