// An e-mail handed to the desktop's mail program: through the e-mail portal
// (a stand-in on a private session bus, which reads the descriptor it is
// given) or, without one, through xdg-email to a stand-in mail program set
// as the default for mailto:. Each gets the addresses, the subject, the text
// and the capture's bytes, also when the capture is written again meanwhile.
#include "forms/DesktopMail.h"
#include "tests/e2e/Desktop.h"
#include "tests/support/Files.h"

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace e2e;
using testing_support::readAll;
using testing_support::writeFile;

namespace {

TEST(MailProgram, ThePortalOrXdgEmailGetsTheWholeMessage)
{
    if (!onPrivateBus("MailProgram.*"))
        return;
    QTemporaryDir dir;
    const QByteArray capture = "BM" + QByteArray(5000, 'c');
    writeFile(dir.filePath("tolvo.bmp"), capture);
    const forms::MailDraft draft{{"alice@example.org", "bob@example.org"}, "Über the capture", "Line one\nLine two",
                                 dir.filePath("tolvo.bmp")};
    {
        FakeService portal(qEnvironmentVariable("QORIX_PORTAL_SERVER"), {"0", "0", dir.filePath("tolvo.bmp")});
        forms::composeInMailProgram(draft);
        writeFile(dir.filePath("tolvo.bmp"), "the next capture");
        const QList<QJsonObject> got = portal.received(1);
        ASSERT_EQ(got.size(), 1);
        EXPECT_EQ(got[0]["addresses"].toVariant().toStringList(), draft.addresses);
        EXPECT_EQ(got[0]["subject"].toString(), draft.subject);
        EXPECT_EQ(got[0]["body"].toString(), draft.body);
        EXPECT_EQ(QByteArray::fromBase64(got[0]["attachment"].toString().toLatin1()), capture);
    }
    const QString data = qEnvironmentVariable("XDG_DATA_HOME"), received = dir.filePath("received");
    QDir().mkpath(data + "/applications");
    writeFile(dir.filePath("mail.sh"), ("#!/bin/sh\nprintf '%s\\n' \"$@\" > " + received + "\n").toUtf8());
    QFile::setPermissions(dir.filePath("mail.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(data + "/applications/stand-in-mail.desktop",
              ("[Desktop Entry]\nType=Application\nName=Stand-in mail\nExec=" + dir.filePath("mail.sh") +
               " %u\nMimeType=x-scheme-handler/mailto;\n").toUtf8());
    writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/mailto=stand-in-mail.desktop\n");
    writeFile(dir.filePath("tolvo.bmp"), capture);
    forms::composeInMailProgram(draft);
    writeFile(dir.filePath("tolvo.bmp"), "the next capture");
    for (int i = 0; i < 100 && !QFile::exists(received); ++i)
        QThread::msleep(50);
    const QUrl mailto(QString::fromUtf8(readAll(received)).trimmed());
    const QUrlQuery query(mailto);
    EXPECT_EQ(QStringList({mailto.path(), query.queryItemValue("to", QUrl::FullyDecoded)}), draft.addresses);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), draft.subject);
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded).replace("\r\n", "\n"), draft.body);
    EXPECT_EQ(readAll(query.queryItemValue("attach", QUrl::FullyDecoded)), capture);
}

} // namespace
