// The address list of EPP-CARD.INI and the digit rule that turns a chosen text into the number.
#include "address_list.h"
#include "portcard_test_support.h"

namespace portcard {
namespace {

using testing::PortCardHost;

TEST(PortCardAddress, UpperCaseHexadecimalReadsAsMeant) {
  EXPECT_EQ(AddressValue("278"), 0x278u);
  EXPECT_EQ(AddressValue("3BC"), 0x3BCu);
  EXPECT_EQ(AddressValue("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(AddressValue(""), 0u);
}

TEST(PortCardAddress, OtherCharactersStillFollowTheDigitRule) {
  // 'b' counts 'b' - 'A' + 10 = 43, 'c' 44: 3*256 + 43*16 + 44.
  EXPECT_EQ(AddressValue("3bc"), 1500u);
  // ' ' counts 32 - 65 + 10 = -23, kept modulo 2^32 as the stored DWORD is.
  EXPECT_EQ(AddressValue("1 "), static_cast<uint32_t>(16 - 23));
  // Nine digits overflow 32 bits and wrap: 0x123456789 keeps its low 32 bits.
  EXPECT_EQ(AddressValue("123456789"), 0x23456789u);
}

TEST(PortCardAddress, ListStartsAtKeyZeroAndEndsAtTheFirstGap) {
  PortCardHost h("win98", PortInstResourceScript());
  h.WriteAddresses("[Port Address]\r\n1=278\r\n2=378\r\n");
  EXPECT_TRUE(ReadAddressList(h.profiles(), "A:\\EPP-CARD.INI").empty());

  h.WriteAddresses("[Port Address]\r\n0=278\r\n1=378\r\n3=3BC\r\n");
  EXPECT_EQ(ReadAddressList(h.profiles(), "A:\\EPP-CARD.INI"),
            (std::vector<std::string>{"278", "378"}));
}

TEST(PortCardAddress, ValuesAreCutToNineCharacters) {
  PortCardHost h("win98", PortInstResourceScript());
  h.WriteAddresses("[Port Address]\r\n0=123456789\r\n1=1234567890\r\n");
  EXPECT_EQ(ReadAddressList(h.profiles(), "A:\\EPP-CARD.INI"),
            (std::vector<std::string>{"123456789", "123456789"}));
}

TEST(PortCardAddress, MissingFileGivesAnEmptyList) {
  PortCardHost h("win98", PortInstResourceScript());
  EXPECT_TRUE(ReadAddressList(h.profiles(), "A:\\EPP-CARD.INI").empty());
}

}  // namespace
}  // namespace portcard
