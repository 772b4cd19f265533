// 1,000 numbered saves in a row from one running program: resident memory
// before and after, and whether every file decodes to the capture.
//   bench_soak [SAVES]
#include "app/frmMain.h"
#include "forms/Application.h"
#include "tests/support/ModalWatcher.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

namespace {

long residentKilobytes()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A screen-like capture: flat panels, a gradient and some text.
QImage desktopCapture()
{
    QImage image(1280, 800, QImage::Format_RGB32);
    image.fill(qRgb(246, 245, 244));
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 1280, 0);
    gradient.setColorAt(0, QColor(30, 60, 120));
    gradient.setColorAt(1, QColor(200, 90, 40));
    painter.fillRect(0, 0, 1280, 120, gradient);
    painter.fillRect(40, 160, 500, 600, QColor(255, 255, 255));
    for (int line = 0; line < 30; ++line)
        painter.drawText(60, 190 + line * 19, QStringLiteral("Line %1 of a document shown on the screen").arg(line));
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    QApplication application(argc, argv);
    forms::setUpApplication(application);
    const int saves = argc > 1 ? std::atoi(argv[1]) : 1000;

    const QImage picture = desktopCapture();
    QGuiApplication::clipboard()->setImage(picture);
    testing_support::ModalWatcher watcher;
    frmMain form;
    form.Show();
    form.txtFileName->setText(home.filePath("soak"));
    form.opt256->setValue(true);

    // A few saves first, so that what is allocated once is counted before.
    const int warmUp = 10;
    for (int i = 0; i < warmUp; ++i)
        form.cmdSave_Click();
    const long before = residentKilobytes();
    QElapsedTimer timer;
    timer.start();
    for (int i = warmUp; i < saves; ++i)
        form.cmdSave_Click();
    const double seconds = timer.elapsed() / 1000.0;
    QCoreApplication::processEvents();
    const long after = residentKilobytes();

    int decoded = 0;
    for (int n = 1; n <= saves; ++n) {
        const QString path = QStringLiteral("%1%2.BMP").arg(home.filePath("soak")).arg(n, 3, 10, QLatin1Char('0'));
        if (QImageReader(path).read().convertToFormat(QImage::Format_RGB32).size() == picture.size())
            ++decoded;
    }
    std::printf("%d saves of %dx%d at 256 colours: %.1f s (%.1f ms each); resident memory %.1f MB after %d saves, "
                "%.1f MB after %d (%+.1f MB); %d of %d files decode; %lld messages\n",
                saves, picture.width(), picture.height(), seconds, seconds * 1000 / (saves - warmUp), before / 1024.0,
                warmUp, after / 1024.0, saves, (after - before) / 1024.0, decoded, saves,
                qint64(watcher.messages().size()));
    form.Unload();
    return decoded == saves && watcher.messages().isEmpty() ? 0 : 1;
}
