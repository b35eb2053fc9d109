// The SMBIOS reader on generated firmware: entry point search, memory device sizes, the
// slot summary, and malformed structure tables.

#include "PlatformTestSupport.h"
#include "platform/SmbiosBase.h"

namespace {

using nlohmann::json;

constexpr std::uint64_t kEntry = 0xF7000;

json SmbiosBoard(json smbios) {
  if (!smbios.contains("entry_address")) smbios["entry_address"] = kEntry;
  return {{"firmware", {{"smbios", smbios}}}};
}

TEST_F(PlatformTest, SmbiosMemoryDeviceSizes) {
  Install(SmbiosBoard({{"version", "2.7"},
                       {"memory_arrays", {{{"devices", 6}}}},
                       {"memory_devices",
                        {{{"size", "0x7FFF"}, {"extended_mb", 16384}, {"attributes", 2}},
                         {{"size_mb", 8192}},
                         {{"size_mb", 512}},
                         {{"size_kb", 512}},
                         {{"size", 0}},
                         {{"size", "0xFFFF"}}}}}));
  TSmbiosBase& sm = TSmbiosBase::Instance();
  ASSERT_TRUE(sm.Found);
  EXPECT_EQ(sm.EntryPointAddress, kEntry);
  EXPECT_EQ(sm.Version, 0x27u);
  EXPECT_EQ(sm.DeviceCount, 6u);
  EXPECT_EQ(sm.PopulatedSlots, 4);
  EXPECT_EQ(sm.DeclaredSlots, 6);
  EXPECT_TRUE(sm.SlotMismatch);
  EXPECT_FLOAT_EQ(sm.SizeGB[0], 16.0f);
  EXPECT_EQ(sm.Attributes[0], 2u);
  EXPECT_FLOAT_EQ(sm.SizeGB[1], 8.0f);
  EXPECT_FLOAT_EQ(sm.SizeGB[2], 0.0f);  // 512 MB: whole gigabytes only
  EXPECT_FLOAT_EQ(sm.SizeGB[3], 0.0f);  // kilobytes
  const std::uint32_t present[6] = {1, 1, 1, 1, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(sm.Present[i], present[i]) << i;
  EXPECT_FALSE(sm.WalkTruncated);
}

TEST_F(PlatformTest, SmbiosSlotMismatchComparesDeclaredWithPopulated) {
  Install(SmbiosBoard({{"memory_arrays", {{{"devices", 2}}, {{"devices", 2}}}},
                       {"memory_devices", {{{"size_mb", 4096}}, {{"size_mb", 4096}}, {{"size_mb", 4096}}}}}));
  EXPECT_EQ(TSmbiosBase::Instance().DeclaredSlots, 4);
  EXPECT_EQ(TSmbiosBase::Instance().PopulatedSlots, 3);
  EXPECT_TRUE(TSmbiosBase::Instance().SlotMismatch);

  gavrelo::ResetProcessStateForTests();
  Install(SmbiosBoard({{"memory_arrays", {{{"devices", 2}}, {{"devices", 1}}}},
                       {"memory_devices", {{{"size_mb", 4096}}, {{"size_mb", 4096}}, {{"size_mb", 4096}}}}}));
  EXPECT_FALSE(TSmbiosBase::Instance().SlotMismatch);
}

TEST_F(PlatformTest, SmbiosEntryPointWithBadChecksumIsPassedOver) {
  // A stray anchor in front of the real entry point (its bytes do not sum to 0).
  TVirtualBoard& board = Install(SmbiosBoard({{"memory_devices", {{{"size_mb", 2048}}}}}));
  const char stray[] = "_SM_ not an entry point";
  ASSERT_TRUE(board.PokeMemory(0xE1000, stray, sizeof stray));
  TSmbiosBase& sm = TSmbiosBase::Instance();
  ASSERT_TRUE(sm.Found);
  EXPECT_EQ(sm.EntryPointAddress, kEntry);
  EXPECT_EQ(sm.PopulatedSlots, 1);
}

TEST_F(PlatformTest, SmbiosUsesTheKernelRecordWhenTheLegacyAreaHasNoEntryPoint) {
  json smbios = {{"entry_address", "0x7FF00000"}, {"memory_devices", {{{"size_mb", 4096}}}}};
  Install({{"firmware", {{"smbios", smbios}, {"systab", {{"smbios", "0x7FF00000"}}}}}});
  EXPECT_TRUE(TSmbiosBase::Instance().Found);
  EXPECT_EQ(TSmbiosBase::Instance().EntryPointAddress, 0x7FF00000u);
  EXPECT_FLOAT_EQ(TSmbiosBase::Instance().SizeGB[0], 4.0f);

  gavrelo::ResetProcessStateForTests();
  Install({{"firmware", {{"smbios", smbios}}}});
  EXPECT_FALSE(TSmbiosBase::Instance().Found);
  EXPECT_EQ(TSmbiosBase::Instance().TableAddress, 0xFFFFFFFFu);
  EXPECT_TRUE(TSmbiosBase::Instance().Table.empty());
}

TEST_F(PlatformTest, SmbiosWalkStopsAtMalformedStructures) {
  // A structure whose formatted length is 0 would never advance the walk.
  Install(SmbiosBoard({{"memory_devices", {{{"size_mb", 2048}}}},
                       {"raw_structures", {"11 00 00 00 00 00"}}}));
  EXPECT_TRUE(TSmbiosBase::Instance().WalkTruncated);
  EXPECT_EQ(TSmbiosBase::Instance().PopulatedSlots, 1);  // what came before it counts

  gavrelo::ResetProcessStateForTests();
  // The last structure's string set has no double NUL before the table ends.
  TVirtualBoard& board = Install(SmbiosBoard({{"memory_devices", {{{"size_mb", 2048}}}}}));
  std::uint32_t table = PeekDword(board, kEntry + 24);
  std::uint16_t length = static_cast<std::uint16_t>(PeekDword(board, kEntry + 22));
  const std::uint8_t text[] = {'x', 'x'};  // the end structure's two NULs
  ASSERT_TRUE(board.PokeMemory(table + length - 2, text, 2));
  TSmbiosBase& sm = TSmbiosBase::Instance();
  EXPECT_TRUE(sm.WalkTruncated);
  EXPECT_EQ(sm.PopulatedSlots, 1);
  EXPECT_EQ(sm.Table.size(), length);
}

TEST_F(PlatformTest, SmbiosCountsDevicesBeyondThirtyTwoWithoutStoringThem) {
  json devices = json::array();
  for (int i = 0; i < 34; ++i) devices.push_back({{"size_mb", 1024 * (i + 1)}, {"attributes", i}});
  Install(SmbiosBoard({{"memory_arrays", {{{"devices", 34}}}}, {"memory_devices", devices}}));
  TSmbiosBase& sm = TSmbiosBase::Instance();
  EXPECT_EQ(sm.DeviceCount, 34u);
  EXPECT_EQ(sm.PopulatedSlots, 34);
  EXPECT_FALSE(sm.SlotMismatch);
  EXPECT_FLOAT_EQ(sm.SizeGB[31], 32.0f);
  EXPECT_EQ(sm.Attributes[31], 31u);
}

}  // namespace
