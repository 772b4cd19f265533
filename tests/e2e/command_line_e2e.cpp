#include "tests/e2e/Desktop.h"
#include "tests/support/BitmapFiles.h"
#include "tests/support/Files.h"
#include "tests/support/TestSettings.h"

#include <QColorSpace>
#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace e2e;
using testing_support::bmpBitCount;

namespace {

struct Ran {
    int exitCode = -1;
    QString out;
    QString err;
};

// The program run as a command in the real X server, or with no display
// at all; `meanwhile` acts on its windows while it runs. Its standard output
// goes to the file given, if any.
Ran run(const QStringList& arguments, bool display = true, const std::function<void()>& meanwhile = {},
        const QString& output = {})
{
    QProcess process;
    if (!output.isEmpty())
        process.setStandardOutputFile(output);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    if (!display)
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(qgetenv("QORIX_PROGRAM")), arguments);
    process.waitForStarted();
    if (meanwhile)
        meanwhile();
    if (!process.waitForFinished(30000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QString homeRelative(const QString& path)
{
    return "~/" + QDir::home().relativeFilePath(path);
}

// A picture's pixels as Qt's own readers decode them, without its colour space.
QImage pixels(const QString& path)
{
    QImage image = QImageReader(path).read().convertToFormat(QImage::Format_RGB32);
    image.setColorSpace(QColorSpace());
    return image;
}

struct UsageCase {
    QStringList arguments;
    bool display;
    int exitCode;
    const char* out;  // a pattern standard output matches
    const char* err;  // one line on standard error, with this in it
};

TEST(CommandLine, HelpVersionUsageErrorsAndAMissingDisplay)
{
    const QList<UsageCase> cases = {
        {{"--help"}, false, 0, "--convert.*--colours.*--output.*--prefix.*--force", ""},
        {{"-h"}, false, 0, "--save", ""},
        {{"--version"}, false, 0, "^qorix-capture \\d+\\.\\d+\\.\\d+\\n$", ""},
        {{"-v"}, false, 0, "^qorix-capture \\d+\\.\\d+\\.\\d+\\n$", ""},
        {{"-style", "Fusion", "-platform", "offscreen", "-v"}, false, 0, "^qorix-capture \\d", ""},
        {{}, false, 1, "^$", "DISPLAY"},
        {{"--save"}, false, 1, "^$", "DISPLAY"},
        {{"--bogus"}, false, 2, "^$", "bogus"},
        {{"--colours", "16"}, false, 2, "^$", "--colours"},
        {{"picture.png"}, false, 1, "^$", "DISPLAY"},
        {{"--save", "picture.png"}, false, 2, "^$", "picture.png"},
        {{"--quiet"}, false, 2, "^$", "--quiet"},
        {{"--convert"}, false, 2, "^$", "--convert"},
        {{"--convert", "a.png", "--colours", "8"}, false, 2, "^$", "'8'"},
        {{"--convert", "a.png", "b.png", "--output", "c.bmp"}, false, 2, "^$", "--output"},
        {{"--convert", "a.png", "--output", "c.bmp", "--prefix", "p"}, false, 2, "^$", "--prefix"},
        {{"--convert", "a.png", "--save"}, false, 2, "^$", "--save"},
        {{"--convert", "--prefix", "p", "--force", "a.png"}, false, 2, "^$", "--force"},
        {{"--save", "--output", "shot.png"}, false, 2, "^$", "writes bitmap files (.bmp)"},
        {{"--capture", "--output", "shot.JPG"}, false, 2, "^$", "writes bitmap files (.bmp)"},
        {{"--convert", "--output", "c.tiff", "a.png"}, false, 2, "^$", "writes bitmap files (.bmp)"},
        {{"--save", "--output", "shot.Bmp"}, false, 1, "^$", "DISPLAY"},
        {{"--save", "--output", "shot"}, false, 1, "^$", "DISPLAY"},
        {{"--capture", "--delay", "3600", "--output", "shot.dib"}, false, 1, "^$", "DISPLAY"},
        {{"--capture", "--delay", "3601"}, false, 2, "^$", "'3601'"},
        {{"--capture", "--delay", "-1"}, false, 2, "^$", "'-1'"},
    };
    for (const UsageCase& c : cases) {
        const Ran ran = run(c.arguments, c.display);
        const std::string which = c.arguments.join(' ').toStdString();
        EXPECT_EQ(ran.exitCode, c.exitCode) << which << ": " << ran.err.toStdString();
        EXPECT_TRUE(QRegularExpression(c.out, QRegularExpression::DotMatchesEverythingOption).match(ran.out).hasMatch())
            << which << ": " << ran.out.toStdString();
        EXPECT_TRUE(ran.err.contains(c.err)) << which << ": " << ran.err.toStdString();
        // Without a display: one line, never an abort with Qt's advice.
        if (c.exitCode == 1) {
            EXPECT_EQ(ran.err.count('\n'), 1) << which << ": " << ran.err.toStdString();
        }
    }
    // What cannot be printed is a failure, said on standard error.
    for (const QString redirect : {"> /dev/full", ">&-"}) {
        const CommandResult printed = runCommand("sh", {"-c", "\"$0\" --version 2>&1 " + redirect, qEnvironmentVariable("QORIX_PROGRAM")});
        EXPECT_EQ(printed.exitCode, 1) << redirect.toStdString();
        EXPECT_TRUE(printed.output.contains("cannot write to standard output")) << printed.output.toStdString();
    }
    // A named display that cannot be reached: one line, exit 1.
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":97");
    const Ran unreachable = run({"--save"});
    qputenv("DISPLAY", display);
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_EQ(unreachable.err.count('\n'), 1) << unreachable.err.toStdString();
    EXPECT_TRUE(unreachable.err.contains(":97")) << unreachable.err.toStdString();
}

struct ConvertCase {
    const char* colours;
    int bits;
    QStringList exact;  // the inputs that come back pixel for pixel
};

// A PNG of 200 colours, a JPEG photograph, a 16-colour PCX and a file that
// is no picture, converted in one run in each colour mode.
TEST(CommandLine, ConvertWritesEachPictureBesideItAndReportsTheBrokenOne)
{
    const QString data = QString(QORIX_TEST_DATA) + "/pcx/";
    const QList<ConvertCase> cases = {{"2", 1, {}},
                                      {"16", 4, {"pcx"}},
                                      {"256", 8, {"png", "pcx"}},
                                      {"display", 24, {"png", "pcx", "jpg"}}};
    for (const ConvertCase& c : cases) {
        QTemporaryDir dir(QDir::homePath() + "/cl-XXXXXX");
        QFile::copy(data + "colours256-8bit.png", dir.filePath("in.png"));
        QImage(data + "truecolour-24bit.png").save(dir.filePath("in.jpg"));
        QFile::copy(data + "colours16-4plane.pcx", dir.filePath("in.pcx"));
        testing_support::writeFile(dir.filePath("broken.png"), "not a picture");
        const QMap<QString, QString> originals = {{"png", dir.filePath("in.png")},
                                                  {"jpg", dir.filePath("in.jpg")},
                                                  {"pcx", data + "colours16-4plane.png"}};

        const Ran ran = run({"--convert", "--colours", c.colours, dir.filePath("in.png"), dir.filePath("in.jpg"),
                             dir.filePath("in.pcx"), dir.filePath("broken.png")},
                            false);
        EXPECT_EQ(ran.exitCode, 1) << c.colours;
        EXPECT_EQ(ran.out, dir.filePath("in.BMP") + "\n") << ran.out.toStdString();
        EXPECT_TRUE(ran.err.contains(dir.filePath("broken.png"))) << ran.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("broken.BMP")));
        // Three inputs share the name in.BMP: the first is written, the other
        // two are not written over it.
        EXPECT_EQ(ran.err.count("written from another picture"), 2) << ran.err.toStdString();
        for (const QString type : {"png", "jpg", "pcx"}) {
            const QString bmp = dir.filePath("in.BMP");
            const auto shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                | QFileDevice::WriteUser | QFileDevice::ReadGroup;
            QFile::setPermissions(bmp, shared);
            const Ran one = run({"--convert", "--colours", c.colours, "--force", dir.filePath("in." + type)}, false);
            ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
            EXPECT_EQ(QFileInfo(bmp).permissions(), shared);
            EXPECT_EQ(bmpBitCount(bmp), c.bits) << type.toStdString() << " " << c.colours;
            EXPECT_EQ(pixels(bmp) == pixels(originals[type]), c.exact.contains(type))
                << type.toStdString() << " " << c.colours;
        }
    }
}

TEST(CommandLine, ConvertNumbersFromAPrefixOrWritesTheOutputNamed)
{
    QTemporaryDir dir(QDir::homePath() + "/cl-XXXXXX");
    QImage(QString(QORIX_TEST_DATA) + "/pcx/colours8-3plane.png").save(dir.filePath("a.ppm"));
    testing_support::writeFile(dir.filePath("p001.BMP"), "taken");
    const QString picture = dir.filePath("a.ppm");

    Ran ran = run({"--convert", "--prefix", homeRelative(dir.filePath("p")), picture, picture}, false);
    EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
    EXPECT_EQ(ran.out, dir.filePath("p002.BMP") + "\n" + dir.filePath("p003.BMP") + "\n");
    EXPECT_EQ(testing_support::readAll(dir.filePath("p001.BMP")), "taken");

    ran = run({"--convert", "--colours", "16", "--output", homeRelative(dir.filePath("out.bmp")), picture}, false);
    EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
    EXPECT_EQ(bmpBitCount(dir.filePath("out.bmp")), 4);
}

// Every entry of a folder: its kind, and a regular file's bytes.
QMap<QString, QByteArray> entriesOf(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    for (const QFileInfo& e : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        entries[e.fileName()] = e.isSymLink() ? e.symLinkTarget().toUtf8() : e.isFile() ? testing_support::readAll(e.filePath()) : "other";
    return entries;
}

struct HostileCase {
    const char* name;
    std::function<QStringList(const QString& dir)> prepare; // the arguments after --convert
    QStringList written;                                    // the lines of standard output, in the test's folder
    const char* err;                                        // in each line of standard error; "" for none
};

// Inputs and outputs that are not plain files, names that another picture
// of the run or the input itself has, the longest names: nothing there is
// ever replaced, nothing is read for ever, and each problem is one line.
TEST(CommandLine, ConvertWritesOnlyRegularFilesReadsOnlyWhatAPictureNeedsAndNeverTwice)
{
    const auto fifo = [](const QString& path) { return mkfifo(QFile::encodeName(path).constData(), 0600); };
    const auto copy = [](const QString& d, const QString& name) { QFile::copy(d + "/a.png", d + "/" + name); return d + "/" + name; };
    const QString longName(251, 'x'), longPrefix(248, 'y');
    const QList<HostileCase> cases = {
        {"a pipe no program writes to", [&](const QString& d) { fifo(d + "/in.png"); return QStringList{d + "/in.png"}; }, {}, "named pipe"},
        {"a device", [](const QString&) { return QStringList{"/dev/zero"}; }, {}, "a device"},
        {"a sparse file of 1.5 GB",
         [](const QString& d) {
             QFile big(d + "/big.png");
             big.open(QIODevice::WriteOnly);
             big.resize(qint64(1500) << 20);
             return QStringList{big.fileName()};
         },
         {}, "larger than any picture of at most 50 million pixels"},
        {"a pipe as output", [&](const QString& d) { fifo(d + "/o.BMP"); return QStringList{"--force", "--output", d + "/o.BMP", d + "/a.png"}; },
         {}, "named pipe"},
        {"a device as output", // where none may be made, a pipe
         [&](const QString& d) {
             if (mknod(QFile::encodeName(d + "/n.BMP").constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                 fifo(d + "/n.BMP");
             return QStringList{"--force", "--output", d + "/n.BMP", d + "/a.png"};
         },
         {}, "not a file"},
        {"a folder as output", [](const QString& d) { QDir(d).mkdir("o.BMP"); return QStringList{"--output", d + "/o.BMP", d + "/a.png"}; },
         {}, "a folder of that name exists"},
        {"a pipe as output, without --force", [&](const QString& d) { fifo(d + "/o.BMP"); return QStringList{"--output", d + "/o.BMP", d + "/a.png"}; },
         {}, "named pipe"},
        {"a link that leads nowhere as output",
         [](const QString& d) { QFile::link(d + "/gone", d + "/o.BMP"); return QStringList{"--output", d + "/o.BMP", d + "/a.png"}; },
         {}, "which does not exist"},
        {"three pictures of one output",
         [&](const QString& d) { return QStringList{"--force", d + "/a.png", copy(d, "a.jpg"), copy(d, "a.gif")}; },
         {"a.BMP"}, "written from another picture in this run"},
        {"the picture itself", [&](const QString& d) { return QStringList{"--force", "--colours", "2", copy(d, "p.BMP")}; }, {},
         "the picture being converted"},
        {"the picture through a link",
         [](const QString& d) {
             QFile::link(d + "/a.png", d + "/link.BMP");
             return QStringList{"--force", "--output", d + "/link.BMP", d + "/a.png"};
         },
         {}, "the picture being converted"},
        {"numbers taken by links, a folder and a pipe",
         [&](const QString& d) {
             QFile::link("/media/gone/p001.BMP", d + "/p001.BMP");
             QDir(d).mkdir("p002.BMP");
             QFile::link(d + "/p003.BMP", d + "/p003.BMP");
             fifo(d + "/p004.BMP");
             return QStringList{"--prefix", d + "/p", d + "/a.png"};
         },
         {"p005.BMP"}, ""},
        {"the longest name beside its picture", [&](const QString& d) { return QStringList{copy(d, longName + ".png")}; },
         {longName + ".BMP"}, ""},
        {"the longest numbered name", [&](const QString& d) { return QStringList{"--prefix", d + "/" + longPrefix, d + "/a.png"}; },
         {longPrefix + "001.BMP"}, ""},
        {"a PNG with a damaged header",
         [](const QString& d) {
             QByteArray png = testing_support::readAll(d + "/a.png");
             png[29] = char(png[29] ^ 0x55); // the header's checksum
             testing_support::writeFile(d + "/damaged.png", png);
             return QStringList{d + "/damaged.png"};
         },
         {}, "damaged.png"},
    };
    for (const HostileCase& c : cases) {
        QTemporaryDir dir;
        QImage(QString(QORIX_TEST_DATA) + "/pcx/colours8-3plane.png").save(dir.filePath("a.png"));
        const QStringList arguments = c.prepare(dir.path());
        QMap<QString, QByteArray> expected = entriesOf(dir.path());
        QString lines;
        for (const QString& name : c.written)
            lines += dir.filePath(name) + "\n";
        const Ran ran = run(QStringList{"--convert"} + arguments, false);
        EXPECT_EQ(ran.exitCode, *c.err ? 1 : 0) << c.name << ": " << ran.err.toStdString();
        EXPECT_EQ(ran.out, lines) << c.name;
        for (const QString& line : ran.err.split('\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.contains(c.err) && line.startsWith("qorix-capture: ")) << c.name << ": " << line.toStdString();
        QMap<QString, QByteArray> after = entriesOf(dir.path());
        for (const QString& name : c.written) {
            EXPECT_EQ(bmpBitCount(dir.filePath(name)), 8) << c.name;
            after.remove(name);
        }
        EXPECT_EQ(after, expected) << c.name;
    }
}

struct SaveCase {
    const char* name;
    bool picture;      // a picture on the clipboard, or text
    QString filename;  // the stored Filename; "%1" the test folder, "%2" the same from home
    bool prompt;       // "Prompt to Save", answered with a name under ~/
    int exitCode;
    const char* err;
    bool output = false; // --output ~/.../given.bmp, which exists, private to its owner, and is replaced
    bool fullDisk = false; // standard output on a full disk
};

TEST(CommandLine, SaveWritesTheClipboardWithTheStoredOptionsAndNeverStoresThem)
{
    const QList<SaveCase> cases = {
        {"numbered, in the home folder", true, "~/%2/cap", false, 0, ""},
        {"prompted", true, "", true, 0, ""},
        {"no picture", false, "%1/cap", false, 1, "Clipboard does not contain a screen capture"},
        {"no name", true, "   ", false, 1, "not filename has been entered"},
        {"missing folder", true, "%1/missing/cap", false, 1, "does not exist"},
        {"--output instead of the stored name", true, "%1/cap", false, 0, "", true},
        {"the file's name not printed", true, "%1/cap", false, 1, "cannot write to standard output", false, true},
    };
    QImage capture(120, 80, QImage::Format_RGB32);
    capture.fill(qRgb(30, 60, 90));
    for (const SaveCase& c : cases) {
        QTemporaryDir dir(QDir::homePath() + "/cl-XXXXXX");
        testing_support::clearSettings();
        testing_support::storeSetting("Defaults", "Filename", QString(c.filename).replace("%1", dir.path()).replace("%2", QDir::home().relativeFilePath(dir.path())));
        testing_support::storeSetting("Defaults", "SavePrompt", c.prompt ? "1" : "0");
        testing_support::storeSetting("Defaults", "16Colours", "False");
        testing_support::storeSetting("Defaults", "256Colurs", "True");
        const QByteArray settings = testing_support::readAll(testing_support::settingsFile());
        ClipboardOwner owner = c.picture ? ClipboardOwner(capture) : ClipboardOwner("text", "text/plain");
        const auto own = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
        if (c.output) {
            testing_support::writeFile(dir.filePath("given.bmp"), "an older file");
            QFile::setPermissions(dir.filePath("given.bmp"), own);
        }
        const QStringList arguments = c.output ? QStringList{"--save", "--output", homeRelative(dir.filePath("given.bmp"))}
                                               : QStringList{"--save"};
        const Ran ran = run(arguments, true, [&] {
            if (!c.prompt)
                return;
            const QString prompt = waitForWindow("QORIX Capture - Prompt to Save");
            typeText(prompt, homeRelative(dir.filePath("typed.bmp")));
            pressKeys(prompt, "Return");
        }, c.fullDisk ? "/dev/full" : "");
        const QString expected = dir.filePath(c.output ? "given.bmp" : c.prompt ? "typed.bmp" : "cap001.BMP");
        EXPECT_EQ(ran.exitCode, c.exitCode) << c.name << ": " << ran.err.toStdString();
        EXPECT_EQ(ran.out, c.exitCode == 0 ? expected + "\n" : QString()) << c.name;
        EXPECT_EQ(bmpBitCount(expected), c.exitCode == 0 || c.fullDisk ? 8 : -1) << c.name;
        if (c.output) {
            EXPECT_EQ(QFileInfo(expected).permissions(), own);
        }
        EXPECT_TRUE(ran.err.contains(c.err)) << c.name << ": " << ran.err.toStdString();
        EXPECT_EQ(testing_support::readAll(testing_support::settingsFile()), settings) << c.name;
    }
}

} // namespace
