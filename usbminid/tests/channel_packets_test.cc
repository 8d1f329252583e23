#include <gtest/gtest.h>

#include "sti_usd_adaptor.h"
#include "usd_doubles.h"

namespace usbminid {
namespace {

using testing::ScriptedUsd;
using Packet = std::array<uint8_t, 8>;

std::string TextOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const XStiUsdAdaptor& e) {
    return e.text();
  }
  return "(no exception)";
}

TEST(ChannelTest, PacketsHaveTheirFixedBytes) {
  ScriptedUsd usd;
  StiUsdAdaptor channel;
  ASSERT_TRUE(channel.Attach(&usd));
  channel.StartWRLine(12, 2555);
  channel.SetupScanMode(0, 3, 1);
  channel.SetupScanMode(1, 1, 0);
  channel.SetupScanMode(2, 2, 1);
  channel.WriteRegister(0x8106);
  channel.StopWRLine();
  usd.replies = {{0x01}, {0x77}};
  channel.MoveCarriage(1, 0x1234);
  EXPECT_EQ(channel.ReadRegister(3), 0x77);
  const std::vector<Packet> expected = {
      {0x22, 0x01, 0xFB, 0x09, 0x0C, 0x00, 0xFF, 0xFF}, {0x23, 0x17}, {0x23, 0x01}, {0x23, 0x1A},
      {0x20, 0x06, 0x81}, {0x24}, {0x25, 0x00, 0x34, 0x12}, {0x21, 0x03}};
  EXPECT_EQ(usd.packets, expected);
  usd.replies = {{0x01}};
  channel.MoveCarriage(0, 1);
  EXPECT_EQ(usd.packets.back(), (Packet{0x25, 0x01, 0x01, 0x00}));
}

TEST(ChannelTest, RegisterListStopsAtRegisterZero) {
  ScriptedUsd usd;
  StiUsdAdaptor channel;
  channel.Attach(&usd);
  const uint8_t empty[] = {0, 5, 6, 7};
  channel.WriteRegisterList(empty);
  EXPECT_TRUE(usd.packets.empty());
  const uint8_t two[] = {6, 0x80, 5, 0x21, 0, 0, 6, 0x00};
  channel.WriteRegisterList(two);
  EXPECT_EQ(usd.Writes(), (std::vector<std::pair<int, int>>{{6, 0x80}, {5, 0x21}}));
}

TEST(ChannelTest, EveryFailureHasItsText) {
  ScriptedUsd usd;
  StiUsdAdaptor channel;
  EXPECT_EQ(TextOf([&] { channel.StopWRLine(); }), "IStiUSD Not Attached Yet.");
  EXPECT_EQ(TextOf([&] { channel.ReadRegister(0); }), "IStiUSD Not Attached Yet.");
  ASSERT_TRUE(channel.Attach(&usd));
  channel.StartWRLine(0, 10);
  usd.replies = {std::vector<uint8_t>(9)};
  uint8_t line[10];
  EXPECT_EQ(TextOf([&] { channel.WRLine(line); }), "Device RawReadData Fail.");
  usd.replies = {std::vector<uint8_t>(10)};
  EXPECT_EQ(channel.WRLine(line), 10);
  usd.replies = {{0x00}};
  EXPECT_EQ(TextOf([&] { channel.MoveCarriage(0, 5); }), "MoveCarriage Not Return 0x01.");
  usd.replies = {{0x01, 0x01}};  // a longer reply is cut to the count asked for: fine
  EXPECT_EQ(TextOf([&] { channel.MoveCarriage(0, 5); }), "(no exception)");
  usd.replies = {};
  EXPECT_EQ(TextOf([&] { channel.MoveCarriage(0, 5); }), "Device RawReadData Fail.");
  usd.replies = {{0x5A}};
  EXPECT_EQ(TextOf([&] { channel.CheckScannerId(0xA5); }), "ScannerID Error:5a.");
  usd.replies = {{0xA5}};
  EXPECT_EQ(TextOf([&] { channel.CheckScannerId(0xA5); }), "(no exception)");
  usd.failWrites = true;
  EXPECT_EQ(TextOf([&] { channel.CheckScannerId(0xA5); }), "Device RawWriteCommand Fail.");
  EXPECT_EQ(TextOf([&] { channel.SetupScanMode(0, 0, 0); }), "Device RawWriteCommand Fail.");
}

TEST(ChannelTest, AdmitsOneAttachmentAtATime) {
  ScriptedUsd a, b;
  StiUsdAdaptor channel;
  EXPECT_FALSE(channel.Attach(nullptr));
  EXPECT_TRUE(channel.Attach(&a));
  EXPECT_FALSE(channel.Attach(&b));
  EXPECT_EQ(channel.Detach(), 0);
  EXPECT_EQ(channel.Detach(), 0);
  EXPECT_TRUE(channel.Attach(&b));
}

TEST(ExceptionTest, TextIsFormattedCopiedAndCut) {
  XGA1015 e("%s %d", "SetDpi", 7);
  XGA1015 copy = e;
  EXPECT_STREQ(copy.text(), "SetDpi 7");
  EXPECT_NE(copy.text(), e.text());  // its own heap copy
  char small[5];
  EXPECT_TRUE(e.GetErrorMessage(small, sizeof small));
  EXPECT_STREQ(small, "SetD");
  XMsger none;
  EXPECT_STREQ(none.text(), "");
  std::string longText(600, 'x');
  XScanner cut("%s", longText.c_str());
  EXPECT_EQ(std::strlen(cut.text()), 511u);
}

}  // namespace
}  // namespace usbminid
