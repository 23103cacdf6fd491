// Framing, fields, message building and colour text of the game's protocol.
#include "net/ColorText.h"
#include "net/WireProtocol.h"
#include "platform/StrToInt.h"

#include <gtest/gtest.h>

using namespace net;

namespace {
const QByteArray T(1, Terminator);
}

TEST(MessageFramer, CutsAtTerminatorsAndKeepsTheRestForTheNextRead) {
    MessageFramer framer;
    std::deque<QByteArray> lines;
    EXPECT_TRUE(framer.append("CMD_a+1" + T + "CMD_b+2" + T + "CMD_c", lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "CMD_a+1");
    EXPECT_EQ(lines[1], "CMD_b+2");
    EXPECT_EQ(framer.pendingLength(), 5);
    EXPECT_TRUE(framer.append("+3" + T, lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "CMD_c+3");
}

// The login carries its own terminator before the message's: the empty
// message between them, like any other, is never queued.
TEST(MessageFramer, EmptyMessagesAreDropped) {
    MessageFramer framer;
    std::deque<QByteArray> lines;
    framer.append(T + "CMD_logininfo+3+1.0.3+Ann" + T + T + T + "CMD_a+1" + T, lines);
    EXPECT_EQ(lines, (std::deque<QByteArray>{"CMD_logininfo+3+1.0.3+Ann", "CMD_a+1"}));
}

TEST(MessageFramer, KeepsAMessageOfExactlyTheLimitAndSkipsOneByteMoreWhole) {
    MessageFramer framer(100);
    std::deque<QByteArray> lines;
    // In pieces: 60 + 40 bytes is the limit; 60 + 41 is one past it.
    EXPECT_TRUE(framer.append(QByteArray(60, 'a'), lines));
    EXPECT_TRUE(framer.append(QByteArray(40, 'a') + T, lines));
    EXPECT_TRUE(framer.append(QByteArray(60, 'b'), lines));
    EXPECT_FALSE(framer.append(QByteArray(41, 'b'), lines)) << "over the limit, no terminator";
    EXPECT_EQ(framer.pendingLength(), 0);
    EXPECT_TRUE(framer.append(QByteArray(500, 'c') + T + "CMD_ok+" + T, lines));
    // Whole, terminator and all: the same boundary.
    EXPECT_TRUE(framer.append(QByteArray(100, 'd') + T, lines));
    EXPECT_FALSE(framer.append(QByteArray(101, 'e') + T + "CMD_next+" + T, lines));
    EXPECT_EQ(lines, std::deque<QByteArray>(
                         {QByteArray(100, 'a'), "CMD_ok+", QByteArray(100, 'd'), "CMD_next+"}))
        << "nothing of a long message may come through";

    MessageFramer standard; // the player window's: 64 KiB
    EXPECT_TRUE(standard.append(QByteArray(64 * 1024, 's') + T, lines));
    EXPECT_FALSE(standard.append(QByteArray(64 * 1024 + 1, 's') + T, lines));
    EXPECT_EQ(lines.size(), 5u);
}

TEST(WireLine, CommandIsTheTextBeforeTheFirstPlus) {
    const WireLine chat = splitLine("CMD_chat+Ann chats: 2+2=4|clRed");
    EXPECT_EQ(chat.command, "CMD_chat");
    EXPECT_EQ(chat.arguments, "Ann chats: 2+2=4|clRed");
    EXPECT_TRUE(splitLine("CMD_full").command.isEmpty()) << "a line without + is dropped";
    EXPECT_EQ(splitLine("CMD_full+").command, "CMD_full");
}

TEST(FieldReader, ReadsFieldsAndTakesTheLastOneWhole) {
    FieldReader fields("3+1.0.3+Ann+Bob");
    EXPECT_EQ(fields.number(), 3);
    EXPECT_EQ(fields.text(), "1.0.3");
    EXPECT_EQ(fields.rest(), "Ann+Bob");
    EXPECT_TRUE(fields.text().isEmpty()) << "missing fields read as empty text";
    EXPECT_THROW(fields.number(), platform::EConvertError);

    FieldReader malformed("x+hello");
    EXPECT_THROW(malformed.number(), platform::EConvertError);
    FieldReader empty("");
    EXPECT_TRUE(empty.rest().isEmpty());
}

TEST(WireMessage, BuildsOneSendableMessage) {
    EXPECT_EQ(WireMessage("CMD_full").field("").bytes(), "CMD_full+" + T);
    EXPECT_EQ(WireMessage("CMD_sendlogininfo").field(7).bytes(), "CMD_sendlogininfo+7" + T);
    const QByteArray login =
        WireMessage("CMD_logininfo").field(1).field(GameVersion).rawField("Ann" + T).bytes();
    EXPECT_EQ(login, "CMD_logininfo+1+1.0.3+Ann" + T + T);
}

TEST(WireMessage, TextThatWouldBreakTheFramingIsDefused) {
    const QString hostile = QStringLiteral("a\xFF"
                                           "b\r\nc");
    const QByteArray bytes = WireMessage("CMD_chat").field(hostile).bytes();
    EXPECT_EQ(bytes.count(Terminator), 1) << "only the terminator may be 0xFF";
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains('\r'));
    EXPECT_EQ(fromWire(toWire(QStringLiteral("caf\u00e9"))), QStringLiteral("caf\u00e9"));
}

TEST(ColorText, NamesAndHexRoundTrip) {
    EXPECT_EQ(ColorToString(clBlack), "clBlack");
    EXPECT_EQ(ColorToString(clBlue), "clBlue");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(ColorToString(0xABCDEF), "$00ABCDEF");
    for (TColor color : {clRed, clNavy, clWhite, TColor(0x010203), TColor(0xFEDCBA)})
        EXPECT_EQ(StringToColor(ColorToString(color)), color);
}

TEST(ColorText, ReadsNamesInAnyCaseAndRejectsTheRest) {
    EXPECT_EQ(StringToColor("clblack"), clBlack);
    EXPECT_EQ(StringToColor("CLRED"), clRed);
    EXPECT_EQ(StringToColor("$FF"), TColor(0xFF));
    EXPECT_TRUE(StringToColor("clBtnFace").has_value());
    for (const char* text : {"", "red", "$", "$12345678A", "$xyz", "$-1", "clBlack ", "0000FF"})
        EXPECT_FALSE(StringToColor(QString::fromLatin1(text)).has_value()) << text;
}
