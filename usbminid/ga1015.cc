#include "ga1015.h"

#include <cstdlib>

#include "platform/profile/profile.h"

namespace usbminid {

namespace {
// Runs `body`, turning a channel failure into this layer's text.
template <class Body>
auto Guard(const char* text, Body body) {
  try {
    return body();
  } catch (const XStiUsdAdaptor&) {
    throw XGA1015("%s", text);
  }
}
}  // namespace

GA1015::GA1015(StiUsdAdaptor& channel, const platform::ProfileFiles& profiles, std::string windowsFolder)
    : channel_(channel), profiles_(profiles), windowsFolder_(std::move(windowsFolder)) {}

void GA1015::AddIndirect(Pairs& list, uint8_t selector, uint8_t data) {
  list.insert(list.end(), {6, selector, 5, data, 6, static_cast<uint8_t>(selector & 0x0F)});
}

void GA1015::WriteList(Pairs list) {
  list.insert(list.end(), {0, 0});
  channel_.WriteRegisterList(list.data());
}

bool GA1015::Identify(uint8_t expected) {
  if (identified_) return true;
  try {
    channel_.CheckScannerId(expected);
    identified_ = true;
  } catch (const XStiUsdAdaptor&) {
    identified_ = false;
  }
  return identified_;
}

void GA1015::Detach() {
  if (!identified_) return;
  identified_ = false;
  if (!channel_.attached()) throw XGA1015("Detach Failed");
}

void GA1015::InitSensor(int type) {
  Pairs list;
  uint8_t bits = 0;
  auto sensorSelect = [&](uint8_t orBits, uint8_t select) {
    AddIndirect(list, 0x80, static_cast<uint8_t>(resolutionBits_ | orBits));
    AddIndirect(list, 0x23, select);
  };
  switch (type) {
    case 0: sensorSelect(0x00, 0x00); break;
    case 1: sensorSelect(0x03, 0x30); bits = 0x03; break;
    case 2: sensorSelect(0x00, 0x09); break;
    case 3:
      sensorSelect(0x85, 0x05);
      AddIndirect(list, 0x13, 0x55);
      bits = 0x85;
      break;
    case 4: sensorSelect(0x81, 0x20); bits = 0x81; break;
    case 6:
    case 7: {
      // The file names the section that holds this sensor's settings.
      const std::string file = windowsFolder_ + "\\AsicSet.ini";
      std::string section = profiles_.GetStringValue("ASIC1015", type == 6 ? "Bright" : "Dark", "ASIC1015", file);
      section = section.substr(0, 40);
      auto read = [&](const char* key, const char* def) {
        std::string text = profiles_.GetStringValue(section, key, def, file).substr(0, 10);
        return static_cast<uint8_t>(std::atoi(text.c_str()));
      };
      const uint8_t ccdDpi = read("CcdDpi", "129"), select = read("Select", "32");
      const uint8_t adjust = read("Adjust", "0"), delay = read("Delay", "0");
      bits = ccdDpi & 0xC7;
      sensorSelect(bits, select);
      AddIndirect(list, 0x13, delay);
      AddIndirect(list, 0x43, adjust);
      break;
    }
    case 8:
      sensorSelect(0x00, 0x00);
      AddIndirect(list, 0x13, 0x00);
      AddIndirect(list, 0x43, 0x13);
      break;
    default: throw XGA1015("Wrong Sensor ID");
  }
  Guard("InitSensor Failed", [&] { WriteList(list); });
  sensorBits_ = bits;
}

void GA1015::SetDpi(int code) {
  static constexpr uint8_t kBits[] = {0x08, 0x00, 0x10, 0x20, 0x30};
  const uint8_t bits = code >= 0 && code <= 4 ? kBits[code] : 0x00;
  Pairs list;
  AddIndirect(list, 0x80, static_cast<uint8_t>(bits | sensorBits_));
  Guard("SetDpi Failed", [&] { WriteList(list); });
  resolutionBits_ = bits;
}

void GA1015::SetRB(uint8_t red, uint8_t green, uint8_t blue) {
  Pairs list;
  AddIndirect(list, 0x10, red);
  AddIndirect(list, 0x20, green);
  AddIndirect(list, 0x40, blue);
  Guard("SetRB Failed", [&] { WriteList(list); });
}

void GA1015::SetExploseTime(uint16_t time) {
  Pairs list;
  AddIndirect(list, 0x81, static_cast<uint8_t>(time / 32));
  Guard("SetExploseTime Failed", [&] { WriteList(list); });
}

void GA1015::SetDummy(uint16_t count) {
  Pairs list;
  AddIndirect(list, 0x41, static_cast<uint8_t>(count / 32 + 1));
  Guard("SetDummy Failed", [&] { WriteList(list); });
}

void GA1015::SetBankWidth(uint16_t width) {
  Pairs list;
  AddIndirect(list, 0x11, static_cast<uint8_t>(width >> 8));
  AddIndirect(list, 0x21, static_cast<uint8_t>(width & 0xFF));
  Guard("SetBankWidth Failed", [&] { WriteList(list); });
}

void GA1015::SetMotorMode(int mode, bool flag) {
  uint8_t bits = flag ? 0x08 : 0x00;
  if (mode == 1) bits |= 0x40;
  else if (mode != 2) bits |= 0x60;
  for (uint8_t& m : motor_) m = static_cast<uint8_t>((m & 0x97) | bits);
}

void GA1015::MoveMotorHome(int index) {
  Pairs list;
  AddIndirect(list, 0x22, static_cast<uint8_t>(motor_[index & 1] | 0x80));
  Guard("MoveMotorHome Failed", [&] { WriteList(list); });
}

void GA1015::MoveCarriage(int directionIndex, uint16_t steps) {
  Guard("MoveCarriage Failed", [&] { channel_.MoveCarriage(directionIndex, steps); });
}

void GA1015::SetTextMode(bool on) {
  const uint8_t mode = static_cast<uint8_t>((outputMode_ & 0xDF) | (on ? 0x24 : 0x04));
  Guard("SetTextMode Failed", [&] { channel_.WriteRegister(static_cast<uint16_t>(6 | mode << 8)); });
  outputMode_ = mode;
}

void GA1015::SetDataInvert(bool on) {
  const uint8_t mode = static_cast<uint8_t>((outputMode_ & 0xEF) | (on ? 0x14 : 0x04));
  Guard("SetDataInvert Failed", [&] { channel_.WriteRegister(static_cast<uint16_t>(6 | mode << 8)); });
  outputMode_ = mode;
}

void GA1015::InitSRAM(bool on) {
  const uint8_t value = on ? 0x45 : 0x05;
  Guard("InitSRAM Failed",
        [&] { channel_.WriteRegister(static_cast<uint16_t>(6 | (value | averagingCommand_) << 8)); });
  memoryCommand_ = value;
}

void GA1015::SetAverage(int mode) {
  const uint8_t value = mode == 1 ? 0x15 : mode == 2 ? 0x35 : 0x05;
  Guard("SetAverage Failed",
        [&] { channel_.WriteRegister(static_cast<uint16_t>(6 | (value | memoryCommand_) << 8)); });
  averagingCommand_ = value;
}

void GA1015::ResetSRAM() {
  const uint8_t counter = Guard("ResetSRAM Failed", [&] {
    const uint8_t list[] = {6, 0x37, 6, 0x07, 6, 0x67, 6, 0x27, 6, 0x17, 0, 0};
    channel_.WriteRegisterList(list);
    return static_cast<uint8_t>(channel_.ReadRegister(3) & 7);
  });
  if (counter != 0) throw XGA1015("Reset SRAM Fail");
}

void GA1015::TurnPower(bool on) {
  const uint8_t v = on ? 0x47 : 0x57;
  const uint8_t list[] = {6, v, 6, v, 6, v, 0, 0};
  Guard("TurnPower Failed", [&] { channel_.WriteRegisterList(list); });
}

uint8_t GA1015::GetBankCounter() {
  return Guard("GetBankCounter Failed", [&] { return static_cast<uint8_t>(channel_.ReadRegister(3) & 7); });
}

uint8_t GA1015::GetPop() {
  return Guard("GetPop Failed", [&] { return static_cast<uint8_t>((channel_.ReadRegister(2) >> 1) & 1); });
}

void GA1015::SetupScan(int colourMode, int passFlag, uint16_t dummy, uint16_t bankWidth, int resolutionCode,
                       bool invert, int averaging) {
  SetDpi(resolutionCode);
  SetBankWidth(bankWidth);
  SetDummy(dummy);
  SetDataInvert(invert);
  SetTextMode(colourMode == 2);
  SetAverage(averaging);
  Guard("SetupScan Failed", [&] { channel_.SetupScanMode(colourMode, resolutionCode, passFlag); });
  ResetSRAM();
}

void GA1015::StartWRLine(uint16_t skip, uint16_t length) {
  Guard("StartWRLine Failed", [&] { channel_.StartWRLine(skip, length); });
}

uint16_t GA1015::WRLine(uint8_t* buffer) {
  return Guard("WRLine Failed", [&] { return channel_.WRLine(buffer); });
}

void GA1015::StopWRLine() {
  Guard("StopWRLine Failed", [&] { channel_.StopWRLine(); });
}

}  // namespace usbminid
