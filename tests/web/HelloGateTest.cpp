// The web page's door, on a clock the test moves: what a first message may be, and how wrong
// keys bar an address.
#include "web/HelloGate.h"

#include <gtest/gtest.h>

namespace glowdeck::test {
namespace {

const std::string kOperator(32, 'o');
const std::string kGuest(32, 'g');
using Time = HelloGate::Time;
const Time kStart{};

HelloOutcome hello(HelloGate& gate, const QByteArray& message, Time now = kStart,
                   const QString& address = QStringLiteral("10.0.0.9")) {
    return gate.check(message, address, now);
}

TEST(HelloGate, OnlyAHelloWithOneOfTheKeysGetsARole) {
    struct Case {
        QByteArray message;
        std::optional<ControlRole> role;
    };
    const QByteArray op = QByteArray::fromStdString(kOperator);
    const Case cases[] = {
        {R"({"cmd":"hello","key":")" + op + R"("})", ControlRole::Operator},
        {R"({"cmd":"hello","key":")" + QByteArray::fromStdString(kGuest) + R"(","id":4})",
         ControlRole::Guest},
        {R"({"cmd":"hello","key":")" + op.left(31) + R"("})", std::nullopt},
        {R"({"cmd":"hello","key":")" + op + R"(o"})", std::nullopt},
        {R"({"cmd":"hello","key":""})", std::nullopt},
        {R"({"cmd":"hello"})", std::nullopt},
        {R"({"cmd":"hello","key":123})", std::nullopt},
        {R"({"cmd":"hello","key":[")" + op + R"("]})", std::nullopt},
        {R"({"cmd":"status","key":")" + op + R"("})", std::nullopt},
        {R"({"cmd":"HELLO","key":")" + op + R"("})", std::nullopt},
        {R"(["hello",")" + op + R"("])", std::nullopt},
        {"", std::nullopt},
        {"null", std::nullopt},
        {"{", std::nullopt},
        {QByteArray("{\"cmd\":\"hello\",\"key\":\"") + op + QByteArray("\0\"}", 3), std::nullopt},
        {R"({"cmd":"hello","key":")" + QByteArray(5000, 'o') + R"("})", std::nullopt},
    };
    for (const Case& c : cases) {
        HelloGate gate(kOperator, kGuest);
        const HelloOutcome outcome = hello(gate, c.message);
        EXPECT_EQ(outcome.role, c.role) << c.message.left(80).toStdString();
        EXPECT_EQ(outcome.error.isEmpty(), c.role.has_value()) << c.message.left(80).toStdString();
    }
}

TEST(HelloGate, TenWrongKeysWithinAMinuteBarTheAddressForAMinute) {
    HelloGate gate(kOperator, kGuest);
    const QByteArray wrong = R"({"cmd":"hello","key":"nope"})";
    const QByteArray right =
        R"({"cmd":"hello","key":")" + QByteArray::fromStdString(kGuest) + "\"}";
    using std::chrono::seconds;
    for (int i = 0; i < HelloGate::kMaxFailures - 1; ++i)
        hello(gate, wrong, kStart + seconds(i));
    EXPECT_TRUE(hello(gate, right, kStart + seconds(10)).role) << "nine do not bar";
    hello(gate, wrong, kStart + seconds(20));
    EXPECT_TRUE(gate.barred(QStringLiteral("10.0.0.9"), kStart + seconds(21)));
    EXPECT_FALSE(hello(gate, right, kStart + seconds(21)).role) << "not even the right key";
    EXPECT_TRUE(hello(gate, right, kStart + seconds(21), QStringLiteral("10.0.0.8")).role)
        << "another address is not barred";
    EXPECT_TRUE(hello(gate, right, kStart + seconds(20) + HelloGate::kBan).role);
}

TEST(HelloGate, WrongKeysSpreadOverMoreThanAMinuteDoNotBar) {
    HelloGate gate(kOperator, kGuest);
    const QByteArray wrong = R"({"cmd":"hello","key":"nope"})";
    for (int i = 0; i < 3 * HelloGate::kMaxFailures; ++i)
        hello(gate, wrong, kStart + std::chrono::seconds(7 * i));
    EXPECT_FALSE(gate.barred(QStringLiteral("10.0.0.9"), kStart + std::chrono::seconds(210)));
}

TEST(HelloGate, AFloodOfAddressesCostsBoundedMemoryAndStillBarsTheLatest) {
    HelloGate gate(kOperator, kGuest);
    const QByteArray wrong = R"({"cmd":"hello","key":"nope"})";
    for (std::size_t i = 0; i < HelloGate::kMaxAddresses + 100; ++i)
        hello(gate, wrong, kStart, QStringLiteral("10.1.%1.%2").arg(i / 256).arg(i % 256));
    for (int i = 0; i < HelloGate::kMaxFailures; ++i)
        hello(gate, wrong, kStart, QStringLiteral("10.9.9.9"));
    EXPECT_TRUE(gate.barred(QStringLiteral("10.9.9.9"), kStart));
}

} // namespace
} // namespace glowdeck::test
