// The readers on the real firmware of a QEMU q35 machine (SeaBIOS, 512 MiB), loaded through
// boards/qemu-q35.json. Every expectation is read from the images by the small independent
// parser below, not by the code under test.

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PlatformTestSupport.h"
#include "host/Console.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"
#include "platform/OrvBiosInfo.h"
#include "platform/OrvSpec.h"
#include "platform/SmbiosBase.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBoardFile = fs::path(GAVRELO_SOURCE_DIR) / "boards" / "qemu-q35.json";
// Where the board file finds the images (relative to itself).
const fs::path kImages = fs::path(GAVRELO_SOURCE_DIR) / ".." / "shared" / "firmware" / "qemu-q35";

// The two memory images as plain byte arrays, addressed physically.
class TQ35Images {
 public:
  bool Load() {
    return Read("mem-000e0000.bin", 0xE0000, m_Low) && Read("mem-1ffe0000.bin", 0x1FFE0000, m_High);
  }
  std::uint8_t U8(std::uint64_t a) const {
    const Image& img = a >= m_High.Base ? m_High : m_Low;
    return img.Bytes.at(a - img.Base);
  }
  std::uint16_t U16(std::uint64_t a) const { return U8(a) | U8(a + 1) << 8; }
  std::uint32_t U32(std::uint64_t a) const { return U16(a) | static_cast<std::uint32_t>(U16(a + 2)) << 16; }
  std::string Text(std::uint64_t a, std::size_t n) const {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(U8(a + i));
    return s;
  }
  std::uint8_t Sum(std::uint64_t a, std::size_t n) const {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i) s += U8(a + i);
    return static_cast<std::uint8_t>(s);
  }
  // First 16-byte aligned copy of `anchor` in the legacy area whose `n` bytes sum to 0.
  std::uint64_t FindAnchor(const std::string& anchor, std::size_t n) const {
    for (std::uint64_t a = 0xE0000; a + n <= 0x100000; a += 16)
      if (Text(a, anchor.size()) == anchor && Sum(a, n) == 0) return a;
    return 0;
  }

 private:
  struct Image {
    std::uint64_t Base = 0;
    std::vector<std::uint8_t> Bytes;
  };
  static bool Read(const char* name, std::uint64_t base, Image& img) {
    std::ifstream in(kImages / name, std::ios::binary);
    if (!in) return false;
    img.Base = base;
    img.Bytes.assign(std::istreambuf_iterator<char>(in), {});
    return img.Bytes.size() == 0x20000;
  }
  Image m_Low, m_High;
};

class Q35Test : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    if (!m_Images.Load()) GTEST_SKIP() << "q35 firmware images not found in " << kImages;
    m_Board = &TVirtualBoard::Install(TVirtualBoard::FromFile(kBoardFile));
  }
  TQ35Images m_Images;
  TVirtualBoard* m_Board = nullptr;
};

TEST_F(Q35Test, AcpiTableListMatchesTheImages) {
  const TQ35Images& m = m_Images;
  std::uint64_t rsdp = m.FindAnchor("RSD PTR ", 20);
  ASSERT_NE(rsdp, 0u);
  // Expected list: root pointer, RSDT, the RSDT's entries, then FACS and DSDT of the FADT.
  struct Entry {
    std::uint32_t Address, Length;
  };
  std::vector<Entry> expected;
  expected.push_back({static_cast<std::uint32_t>(rsdp), m.U8(rsdp + 15) == 0 ? 20u : m.U32(rsdp + 20)});
  std::uint32_t rsdt = m.U32(rsdp + 16);
  expected.push_back({rsdt, m.U32(rsdt + 4)});
  std::uint32_t fadt = 0;
  for (std::uint32_t off = 36; off + 4 <= m.U32(rsdt + 4); off += 4) {
    std::uint32_t t = m.U32(rsdt + off);
    expected.push_back({t, m.U32(t + 4)});
    if (m.Text(t, 4) == "FACP") fadt = t;
  }
  ASSERT_NE(fadt, 0u);
  expected.push_back({m.U32(fadt + 36), m.U32(m.U32(fadt + 36) + 4)});
  expected.push_back({m.U32(fadt + 40), m.U32(m.U32(fadt + 40) + 4)});

  TAcpiBase& acpi = TAcpiBase::Instance();
  ASSERT_TRUE(acpi.Found);
  ASSERT_EQ(acpi.Tables.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(acpi.Tables[i].Address, expected[i].Address) << "entry " << i;
    EXPECT_EQ(acpi.Tables[i].Length, expected[i].Length) << "entry " << i;
  }
  EXPECT_FALSE(acpi.BoundHit);
  EXPECT_EQ(acpi.DsdtAddress, m.U32(fadt + 40));

  const RwCfg& s = TReadWrite::Instance().Settings();
  EXPECT_EQ(s.SciInterrupt, m.U16(fadt + 46));
  EXPECT_EQ(s.SmiCommandPort, static_cast<std::uint16_t>(m.U32(fadt + 48)));
  EXPECT_EQ(s.AcpiEnableValue, m.U8(fadt + 52));
  EXPECT_EQ(s.AcpiDisableValue, m.U8(fadt + 53));
  EXPECT_EQ(s.Pm1aEventBlock, static_cast<std::uint16_t>(m.U32(fadt + 56)));
  EXPECT_EQ(s.PmTimerBlock, static_cast<std::uint16_t>(m.U32(fadt + 76)));
  EXPECT_EQ(s.PmTimer32Bit, m.U32(fadt + 112) & 0x100);
}

TEST_F(Q35Test, McfgBaseBecomesThePcieBase) {
  TOrvSpec::Instance();
  EXPECT_EQ(TAcpiBase::Instance().McfgBase, 0xB0000000u);
  EXPECT_EQ(TReadWrite::Instance().PcieBase, 0xB0000000u);
  // Configuration reads now go through the ECAM window: the ids of 00:1f.0 as the bus
  // image holds them.
  std::ifstream ecam(kImages / "ecam-bus0.bin", std::ios::binary);
  ecam.seekg((0x1F * 8 + 0) * 4096);
  std::uint8_t id[4] = {};
  ecam.read(reinterpret_cast<char*>(id), 4);
  ASSERT_TRUE(ecam);
  m_Board->Trace().Clear();
  EXPECT_EQ(TReadWrite::Instance().ReadPcieDword(0, 0x1F, 0, 0),
            static_cast<std::uint32_t>(id[0] | id[1] << 8 | id[2] << 16) | static_cast<std::uint32_t>(id[3]) << 24);
  // Through the window, not the 0xCF8/0xCFC pair.
  bool decoded = false;
  for (const TTraceEvent& e : m_Board->Trace().Events()) {
    EXPECT_NE(e.Kind, TTraceKind::PortWrite) << std::hex << e.Address;
    decoded = decoded || (e.Kind == TTraceKind::PciRead && e.Address == (0x1F << 3));
  }
  EXPECT_TRUE(decoded);
}

TEST_F(Q35Test, SmbiosSummaryMatchesTheImages) {
  const TQ35Images& m = m_Images;
  std::uint64_t ep = m.FindAnchor("_SM_", 31);
  ASSERT_NE(ep, 0u);
  std::uint32_t table = m.U32(ep + 24);
  std::uint32_t end = table + m.U16(ep + 22);
  unsigned declared = 0, devices = 0, populated = 0;
  std::vector<float> sizes;
  for (std::uint32_t p = table; p + 4 <= end;) {
    std::uint8_t type = m.U8(p), len = m.U8(p + 1);
    if (type == 16) declared += m.U16(p + 13);
    if (type == 17) {
      std::uint16_t size = m.U16(p + 12);
      if (size != 0 && size != 0xFFFF) {
        ++populated;
        sizes.push_back(size == 0x7FFF ? m.U32(p + 28) / 1024.0f : (size & 0x8000) ? 0.0f : static_cast<float>(size / 1024));
      }
      ++devices;
    }
    std::uint32_t q = p + len;
    while (!(m.U8(q) == 0 && m.U8(q + 1) == 0)) ++q;
    p = q + 2;
  }
  TSmbiosBase& sm = TSmbiosBase::Instance();
  ASSERT_TRUE(sm.Found);
  EXPECT_EQ(sm.EntryPointAddress, ep);
  EXPECT_EQ(sm.Version, m.U8(ep + 6) * 16u + m.U8(ep + 7));
  EXPECT_EQ(sm.TableAddress, table);
  EXPECT_EQ(sm.DeclaredSlots, declared);
  EXPECT_EQ(sm.PopulatedSlots, populated);
  EXPECT_EQ(sm.DeviceCount, devices);
  EXPECT_EQ(sm.SlotMismatch, declared != populated);
  ASSERT_GE(populated, 1u);
  unsigned slot = 0;
  for (std::size_t i = 0; i < sm.DeviceCount && i < 32; ++i) {
    if (sm.Present[i] != 0) {
      EXPECT_FLOAT_EQ(sm.SizeGB[i], sizes.at(slot++));
    }
  }
  EXPECT_FALSE(sm.WalkTruncated);
}

TEST_F(Q35Test, ModelNameComesFromTheGeneratedIdentityRecordAndNothingIsWritten) {
  m_Board->Trace().Clear();
  TOrvSpec& model = TOrvSpec::Instance();
  std::ifstream in(kBoardFile);
  nlohmann::json board = nlohmann::json::parse(in);
  std::string project = board["firmware"]["identity"]["project"];
  while (!project.empty() && project.back() == '.') project.pop_back();
  EXPECT_TRUE(TOrvBiosInfo::Instance().RecordValid);
  EXPECT_EQ(host::WideToUtf8(model.ModelName), project);
  // Identification only reads: no memory, port, PCI or processor-register writes.
  for (const TTraceEvent& e : m_Board->Trace().Events()) {
    EXPECT_NE(e.Kind, TTraceKind::MemWrite) << std::hex << e.Address;
    EXPECT_NE(e.Kind, TTraceKind::PortWrite) << std::hex << e.Address;
    EXPECT_NE(e.Kind, TTraceKind::PciWrite) << std::hex << e.Address;
    EXPECT_NE(e.Kind, TTraceKind::MsrWrite);
  }
}

}  // namespace
