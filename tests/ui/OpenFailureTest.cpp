#include "support/PanelFixture.h"

#include "link/SerialPort.h"
#include "res/Templates.h"

#include <QComboBox>
#include <QSerialPort>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
// When the port will not open, the log says what to do about it, after the usual failure text.
class OpenFailureAdvice : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        injectFaults();
    }
};

const std::string kOpenFailureLog =
    "COM Error - Cannot Open Communication Port\r\nIf the port is connected in another program, "
    "please close \t\t\t\tit and/or restart your PC.\r\n";
const std::string kBusyAdvice =
    "The port is in use by another program: close that program, then connect again.\r\n";
} // namespace

TEST_F(OpenFailureAdvice, TheReasonAddsOneLineAfterTheUnchangedFailureReport) {
    const std::vector<std::pair<OpenFailure, std::string>> cases{
        {OpenFailure::NoAccess, "Permission denied: add your user to the dialout group (sudo "
                                "usermod -aG dialout $USER) and log in again.\r\n"},
        {OpenFailure::Busy, kBusyAdvice},
        {OpenFailure::Other, ""},
    };
    for (const auto& [reason, advice] : cases) {
        SCOPED_TRACE(int(reason));
        recorder.boxes.clear();
        app->log().clear();
        faults->failAt = ConnectStep::OpenPort;
        faults->openFailure = reason;
        clickButton(IDC_CONNECT);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text, "Cannot open Communication PORT.");
        EXPECT_EQ(recorder.boxes[0].title, "Error");
        EXPECT_EQ(status(), "Status: Disconnected");
        EXPECT_EQ(log(), kOpenFailureLog + advice);
        EXPECT_FALSE(app->connection().portOpen());
    }
    faults->failAt = ConnectStep::None;
    connectTable();
}

TEST_F(OpenFailureAdvice, APortAnotherProgramHoldsIsReportedAsInUse) {
    // Another holder of the port: its lock keeps the panel out as any other program's would.
    QSerialPort holder(QString::fromStdString(table.devicePath()));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    clickButton(IDC_CONNECT);
    EXPECT_FALSE(app->connection().connected());
    EXPECT_EQ(log(), kOpenFailureLog + kBusyAdvice);

    holder.close();
    app->log().clear();
    connectTable();
}

TEST(OpenFailureKind, OnlyAPermissionErrorHasAKnownCause) {
    EXPECT_EQ(SerialPort::classifyOpenFailure(QSerialPort::PermissionError, false),
              OpenFailure::NoAccess);
    EXPECT_EQ(SerialPort::classifyOpenFailure(QSerialPort::PermissionError, true),
              OpenFailure::Busy);
    EXPECT_EQ(SerialPort::classifyOpenFailure(QSerialPort::DeviceNotFoundError, false),
              OpenFailure::Other);
    EXPECT_EQ(SerialPort::classifyOpenFailure(QSerialPort::OpenError, true), OpenFailure::Other);
}
