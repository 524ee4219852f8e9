#include "support/PanelFixture.h"

#include "res/Templates.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class ProtocolTraceFile : public PanelFixture {
protected:
    QStringList traceLines() const {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // The index of the first line from `from` on that matches, or -1.
    static int find(const QStringList& lines, const QString& pattern, int from) {
        const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
        for (int i = from; i < lines.size(); ++i)
            if (re.match(lines[i]).hasMatch())
                return i;
        return -1;
    }
    QTemporaryDir dir;
    QString path = dir.filePath("trace.txt");
};
} // namespace

TEST_F(ProtocolTraceFile, AVersionExchangeIsTracedInOrderWithTimes) {
    ASSERT_TRUE(app->startTrace(path));
    connectTable();
    typeLine("%VERSION:READ");
    ASSERT_TRUE(waitFor([this] { return logContains("Firmware version"); }));
    clickButton(IDC_CONNECT);
    ASSERT_FALSE(app->connection().portOpen());

    const QStringList lines = traceLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("# Glowdeck protocol trace")) << lines[0].toStdString();
    const int request = find(lines, " *\\d+ -> CMD_VERSION_READ 00 42", 1);
    ASSERT_GE(request, 0) << lines.join('\n').toStdString();
    const int answer =
        find(lines, " *\\d+ <- \\d+ bytes [0-9A-F ]+  \".*Firmware version.*\"", request + 1);
    ASSERT_GE(answer, 0) << lines.join('\n').toStdString();
    const int exit = find(lines, " *\\d+ -> CMD_EXIT 00 2E", answer + 1);
    ASSERT_GE(exit, 0) << lines.join('\n').toStdString();

    // Milliseconds since the start never run backwards, whichever thread wrote the line.
    qint64 previous = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const qint64 ms = lines[i].section(' ', 0, 0, QString::SectionSkipEmpty).toLongLong();
        EXPECT_GE(ms, previous) << lines[i].toStdString();
        previous = ms;
    }
}

TEST_F(ProtocolTraceFile, TheTraceCannotBeSwappedUnderAnOpenPort) {
    connectTable();
    EXPECT_FALSE(app->startTrace(path));
    clickButton(IDC_CONNECT);
    EXPECT_TRUE(app->startTrace(path));
    QString error;
    EXPECT_FALSE(app->startTrace(dir.filePath("missing/trace.txt"), &error));
    EXPECT_FALSE(error.isEmpty());
}
