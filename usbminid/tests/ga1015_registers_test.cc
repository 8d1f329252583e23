#include <gtest/gtest.h>

#include "ga1015.h"
#include "platform/profile/profile.h"
#include "test_host.h"
#include "usd_doubles.h"

namespace usbminid {
namespace {

using testing::ScriptedUsd;
using Writes = std::vector<std::pair<int, int>>;

struct Asic {
  platform::testing::TestHost t;
  ScriptedUsd usd;
  StiUsdAdaptor channel;
  GA1015 asic{channel, t.host().profiles(), "C:\\WINDOWS"};
  Asic() { channel.Attach(&usd); }
  Writes Take() {
    Writes w = usd.Writes();
    usd.packets.clear();
    return w;
  }
};

std::string TextOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const XGA1015& e) {
    return e.text();
  }
  return "(no exception)";
}

TEST(Asic1015Test, IndirectWritesCarryTheirFigures) {
  Asic a;
  a.asic.SetExploseTime(3200);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x81}, {5, 0x64}, {6, 0x01}}));
  a.asic.SetExploseTime(5632);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x81}, {5, 0xB0}, {6, 0x01}}));
  a.asic.SetDummy(0);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x41}, {5, 0x01}, {6, 0x01}}));
  a.asic.SetBankWidth(2567);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x11}, {5, 0x0A}, {6, 0x01}, {6, 0x21}, {5, 0x07}, {6, 0x01}}));
  a.asic.SetRB(1, 2, 3);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x10}, {5, 1}, {6, 0}, {6, 0x20}, {5, 2}, {6, 0}, {6, 0x40}, {5, 3}, {6, 0}}));
  a.asic.TurnPower(false);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x57}, {6, 0x57}, {6, 0x57}}));
  a.asic.SetMotorMode(0, false);
  EXPECT_TRUE(a.Take().empty());
  EXPECT_EQ(a.asic.motorByte(0), 0x73);
  EXPECT_EQ(a.asic.motorByte(1), 0x63);
  a.asic.MoveMotorHome(1);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x22}, {5, 0xE3}, {6, 0x02}}));
  a.asic.SetMotorMode(1, true);
  EXPECT_EQ(a.asic.motorByte(0), 0x5B);
}

TEST(Asic1015Test, DirectCommandsKeepTheirFlags) {
  Asic a;
  a.asic.SetTextMode(true);
  a.asic.SetDataInvert(true);
  a.asic.SetTextMode(false);
  a.asic.InitSRAM(true);
  a.asic.SetAverage(2);
  a.asic.InitSRAM(false);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x24}, {6, 0x34}, {6, 0x14}, {6, 0x45}, {6, 0x75}, {6, 0x35}}));
}

TEST(Asic1015Test, SensorsAndResolutionShareTheSelector80Byte) {
  Asic a;
  a.asic.InitSensor(8);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x80}, {5, 0x20}, {6, 0x00}, {6, 0x23}, {5, 0x00}, {6, 0x03},
                              {6, 0x13}, {5, 0x00}, {6, 0x03}, {6, 0x43}, {5, 0x13}, {6, 0x03}}));
  a.asic.InitSensor(3);
  a.Take();
  a.asic.SetDpi(0);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x80}, {5, 0x8D}, {6, 0x00}}));
  a.asic.SetDpi(9);
  EXPECT_EQ(a.Take(), (Writes{{6, 0x80}, {5, 0x85}, {6, 0x00}}));
  EXPECT_EQ(TextOf([&] { a.asic.InitSensor(5); }), "Wrong Sensor ID");
  EXPECT_EQ(TextOf([&] { a.asic.InitSensor(9); }), "Wrong Sensor ID");
  EXPECT_TRUE(a.Take().empty());
}

TEST(Asic1015Test, SensorSixAndSevenReadAsicSetIni) {
  Asic a;
  a.asic.InitSensor(6);  // no file: every default
  EXPECT_EQ(a.Take(), (Writes{{6, 0x80}, {5, 0xA1}, {6, 0x00}, {6, 0x23}, {5, 0x20}, {6, 0x03},
                              {6, 0x13}, {5, 0x00}, {6, 0x03}, {6, 0x43}, {5, 0x00}, {6, 0x03}}));
  EXPECT_EQ(a.asic.sensorBits(), 0x81);
  a.t.WriteFile("C:\\WINDOWS\\AsicSet.ini",
                "[ASIC1015]\nDark=DarkCcd\n[DarkCcd]\nCcdDpi=511\nSelect=7\nAdjust=300\nDelay=12\n");
  a.asic.InitSensor(7);
  // CcdDpi 511 keeps 0xFF, AND 0xC7 gives 0xC7; Adjust 300 keeps its low 8 bits, 0x2C.
  EXPECT_EQ(a.Take(), (Writes{{6, 0x80}, {5, 0xE7}, {6, 0x00}, {6, 0x23}, {5, 0x07}, {6, 0x03},
                              {6, 0x13}, {5, 0x0C}, {6, 0x03}, {6, 0x43}, {5, 0x2C}, {6, 0x03}}));
  EXPECT_EQ(a.asic.sensorBits(), 0xC7);
}

TEST(Asic1015Test, FailuresNameTheOperationAndKeepTheValues) {
  Asic a;
  a.usd.failWrites = true;
  EXPECT_EQ(TextOf([&] { a.asic.SetDpi(2); }), "SetDpi Failed");
  EXPECT_EQ(a.asic.resolutionBits(), 0x20);
  EXPECT_EQ(TextOf([&] { a.asic.InitSensor(4); }), "InitSensor Failed");
  EXPECT_EQ(a.asic.sensorBits(), 0x80);
  EXPECT_EQ(TextOf([&] { a.asic.SetTextMode(true); }), "SetTextMode Failed");
  EXPECT_EQ(a.asic.outputMode(), 0x04);
  EXPECT_EQ(TextOf([&] { a.asic.GetPop(); }), "GetPop Failed");
  EXPECT_EQ(TextOf([&] { a.asic.ResetSRAM(); }), "ResetSRAM Failed");
  EXPECT_EQ(TextOf([&] { a.asic.SetupScan(0, 1, 0, 100, 3, false, 0); }), "SetDpi Failed");
  a.usd.failWrites = false;
  a.usd.replies = {{0x02}};
  EXPECT_EQ(TextOf([&] { a.asic.ResetSRAM(); }), "Reset SRAM Fail");
  a.usd.replies = {{0xF8}};  // only bits 0 to 2 count
  EXPECT_EQ(TextOf([&] { a.asic.ResetSRAM(); }), "(no exception)");
  EXPECT_FALSE(a.asic.Identify(0xA5));  // no reply scripted: a channel failure, no exception
  a.usd.replies = {{0xA5}};
  EXPECT_TRUE(a.asic.Identify(0xA5));
  EXPECT_TRUE(a.asic.Identify(0xA5));  // already identified: no packet
  a.channel.Detach();
  EXPECT_EQ(TextOf([&] { a.asic.Detach(); }), "Detach Failed");
}

TEST(Asic1015Test, SetupScanRunsItsStepsInOrder) {
  Asic a;
  a.usd.replies = {{0x00}};
  a.asic.SetupScan(2, 1, 0, 2567, 3, true, 1);
  const Writes writes = a.Take();
  const Writes expected = {{6, 0x80}, {5, 0xA0}, {6, 0x00},                                   // SetDpi(3)
                           {6, 0x11}, {5, 0x0A}, {6, 0x01}, {6, 0x21}, {5, 0x07}, {6, 0x01},  // bank width
                           {6, 0x41}, {5, 0x01}, {6, 0x01},                                   // dummy
                           {6, 0x14}, {6, 0x34}, {6, 0x15},  // invert, text, averaging
                           {6, 0x37}, {6, 0x07}, {6, 0x67}, {6, 0x27}, {6, 0x17}};
  EXPECT_EQ(writes, expected);
}

}  // namespace
}  // namespace usbminid
