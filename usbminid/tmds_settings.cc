#include "tmds_settings.h"

#include "platform/profile/profile.h"

namespace usbminid {

TmdsSettings ReadTmdsSettings(const platform::ProfileFiles& profiles, const std::string& moduleFolder) {
  const std::string file = moduleFolder + "TMDS.INI";
  TmdsSettings s;
  auto get = [&](const char* key, int def) { return profiles.GetInt("A4CIS", key, def, file); };
  s.SkipsPerRow = static_cast<uint16_t>(get("SkipsPerRow", s.SkipsPerRow));
  s.JLines = static_cast<uint16_t>(get("JLines", s.JLines));
  s.KLines = static_cast<uint16_t>(get("KLines", s.KLines));
  s.RBLines = static_cast<uint16_t>(get("RBLines", s.RBLines));
  s.HomeLines = static_cast<uint16_t>(get("HomeLines", s.HomeLines));
  s.KLevel = static_cast<uint8_t>(get("KLevel", s.KLevel));
  s.MaxRB = static_cast<uint8_t>(get("MaxRB", s.MaxRB));
  s.ExploseTime = static_cast<uint16_t>(get("ExploseTime", s.ExploseTime));
  s.MotorMode = get("MotorMode", s.MotorMode);
  s.Threadhold = static_cast<uint8_t>(get("Threadhold", s.Threadhold));
  return s;
}

}  // namespace usbminid
