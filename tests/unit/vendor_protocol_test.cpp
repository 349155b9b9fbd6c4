// The vendor feature-report protocol against the simulated firmware: what
// goes over the wire (the simulation's exchange log) and what comes back.
#include "device/vendor_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/text.h"
#include "device/hid_data.h"
#include "platform/error_codes.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimProcess;
using sim::SimWorld;

// `bytes` followed by zeros up to `length`, as the log writes it.
std::string Hex(std::vector<std::uint8_t> bytes, std::size_t length) {
  bytes.resize(length, 0);
  return ToHexLower(bytes);
}

class VendorProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    world.devices.Plug();
    world.devices.log.clear();
  }
  std::unique_ptr<TCommandBlock> Block(std::vector<std::uint8_t> header) {
    auto b = std::make_unique<TCommandBlock>();
    b->Signature = kBlockSignature;
    std::memcpy(b->Header, header.data(), std::min<std::size_t>(header.size(), 8));
    return b;
  }

  SimWorld world;
  SimProcess process{world};
  TqvHIDData hid{process.platform()};
  const USAGE_AND_PAGE vendor = kVendorCollection;
};

TEST(VendorFraming, SizeClassesAndTheirLengths) {
  EXPECT_EQ(GetReportIDBySize(8), 2);
  EXPECT_EQ(GetReportIDBySize(16), 2);
  EXPECT_EQ(GetReportIDBySize(17), 3);
  EXPECT_EQ(GetReportIDBySize(64), 3);
  EXPECT_EQ(GetReportIDBySize(65), 4);
  EXPECT_EQ(GetReportIDBySize(1024), 4);
  EXPECT_EQ(GetReportIDBySize(1025), 5);
  EXPECT_EQ(GetReportIDBySize(2048), 5);
  EXPECT_EQ(GetReportIDBySize(2049), 6);
  EXPECT_EQ(GetReportIDBySize(4096), 6);
  EXPECT_EQ(GetReportIDBySize(4097), 2);  // too long for any class
  EXPECT_EQ(GetReportSizeByID(2), 16u);
  EXPECT_EQ(GetReportSizeByID(3), 64u);
  EXPECT_EQ(GetReportSizeByID(4), 1024u);
  EXPECT_EQ(GetReportSizeByID(5), 2048u);
  EXPECT_EQ(GetReportSizeByID(6), 4096u);
  EXPECT_EQ(GetReportSizeByID(0), 16u);
  EXPECT_EQ(GetReportSizeByID(7), 16u);
  EXPECT_EQ(MakeIoControlCode(0x8000, 0x2001, 0, 0), 0x80008004u);
  EXPECT_EQ(MakeIoControlCode(0x22, 1, 2, 3), 0x0022C006u);
}

TEST(VendorFraming, PayloadLengthByCommandWithBitSevenIgnored) {
  EXPECT_EQ(PayloadLength({0, 0, 8, 9, 9, 0, 0, 0}), 8u);
  EXPECT_EQ(PayloadLength({3, 0, 8, 0x34, 0x12, 0, 0, 0}), 0x1234u);
  EXPECT_EQ(PayloadLength({0x83, 0, 8, 0x34, 0x12, 0, 0, 0}), 0x1234u);
  EXPECT_EQ(PayloadLength({2, 0, 0, 1, 0, 0, 0, 0}), 1u);
  EXPECT_EQ(PayloadLength({6, 1, 2, 3, 4, 0, 0, 0}), 0u);
  EXPECT_EQ(PayloadLength({0x7F, 0, 9, 9, 9, 0, 0, 0}), 0u);
}

TEST_F(VendorProtocol, ShortCommandIsOneClassTwoReport) {
  SendShortCommand(hid, vendor, 1, 0);
  EXPECT_EQ(world.devices.log, (std::vector<std::string>{"set-feature " + Hex({2, 6, 1, 0}, 16)}));
}

TEST_F(VendorProtocol, CommandsFillTheirSizeClass) {
  // Command 0 with 8 payload bytes: 16 bytes of content, class 2, no room left.
  auto b = Block({0, 0, 8, 0, 0, 0, 0, 0});
  for (int i = 0; i < 8; ++i) b->Payload[i] = static_cast<std::uint8_t>(0xA0 + i);
  ASSERT_EQ(SendFeatureCommand(hid, vendor, *b), kErrorSuccess);
  EXPECT_EQ(world.devices.log.back(), "set-feature 02000008000000" "00a0a1a2a3a4a5a6a7");
  // The block keeps its packed header: report ID, then H0..H6.
  EXPECT_EQ(b->Header[0], 2);
  EXPECT_EQ(b->Header[3], 8);

  // 0x83 frames as command 3: 9 payload bytes from H3/H4 make 17, class 3.
  auto c = Block({0x83, 0, 0, 9, 0, 0, 0, 0x77});
  for (int i = 0; i < 9; ++i) c->Payload[i] = 0x11;
  ASSERT_EQ(SendFeatureCommand(hid, vendor, *c), kErrorSuccess);
  std::vector<std::uint8_t> expected = {3, 0x83, 0, 0, 9, 0, 0, 0};  // H7 (0x77) never goes out
  expected.insert(expected.end(), 9, 0x11);
  EXPECT_EQ(world.devices.log.back(), "set-feature " + Hex(expected, 64));
}

TEST_F(VendorProtocol, ACommandTooLongForAnyClassGoesOutAsItsFirstSixteenBytes) {
  auto b = Block({2, 0, 0, 0xFF, 0xFF, 0, 0, 0});  // 65535 payload bytes claimed
  for (auto& p : b->Payload) p = 0x5A;
  ASSERT_EQ(SendFeatureCommand(hid, vendor, *b), kErrorSuccess);
  EXPECT_EQ(world.devices.log.back(), "set-feature 02020000ffff00005a5a5a5a5a5a5a5a");
}

TEST_F(VendorProtocol, MemoryReadOfOneByteAsksForAClassTwoAnswer) {
  world.devices.SetMemory(0x40, std::vector<std::uint8_t>{0x5A});
  std::uint8_t byte = 0;
  ASSERT_EQ(ReadDeviceByte(hid, vendor, byte, 0x40), kErrorSuccess);
  EXPECT_EQ(byte, 0x5A);
  const std::vector<std::uint8_t> request = {2, 3, 0x40, 0x00, 0x01, 0x00, 0xFA, 0xFA};
  std::vector<std::uint8_t> answer = request;
  answer.push_back(0x5A);
  EXPECT_EQ(world.devices.log,
            (std::vector<std::string>{"set-feature " + Hex(request, 16), "get-feature 02 " + Hex(answer, 16)}));
}

TEST_F(VendorProtocol, MemoryReadOf32BytesAsksForAClassThreeAnswer) {
  std::vector<std::uint8_t> content(32);
  for (int i = 0; i < 32; ++i) content[i] = static_cast<std::uint8_t>(i + 1);
  world.devices.SetMemory(0x0948, content);
  std::array<std::uint8_t, 32> got{};
  ASSERT_EQ(ReadDeviceBlock32(hid, vendor, got, 0x0948), kErrorSuccess);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), content.begin()));
  ASSERT_EQ(world.devices.log.size(), 2u);
  EXPECT_EQ(world.devices.log[0], "set-feature " + Hex({2, 3, 0x48, 0x09, 0x20, 0x00, 0xFA, 0xFA}, 16));
  EXPECT_EQ(world.devices.log[1].substr(0, 15), "get-feature 03 ");
  EXPECT_EQ(world.devices.log[1].size(), 15u + 128u);  // a 64-byte answer
}

TEST_F(VendorProtocol, TheSelectorPicksTheRecordThatHoldsTheStage) {
  world.devices.SetMemory(0x0049, std::vector<std::uint8_t>{3});
  world.devices.SetMemory(0x0949, std::vector<std::uint8_t>{7});
  std::uint32_t stage = 99;
  ASSERT_EQ(ReadCurrentCpiStage(hid, vendor, stage), kErrorSuccess);
  EXPECT_EQ(stage, 3u);
  world.devices.SetMemory(0x0040, std::vector<std::uint8_t>{0x80});
  ASSERT_EQ(ReadCurrentCpiStage(hid, vendor, stage), kErrorSuccess);
  EXPECT_EQ(stage, 7u);
}

TEST_F(VendorProtocol, FailedReadsLeaveTheCallersValuesAlone) {
  std::uint32_t stage = 99;
  world.devices.failFeature = 1;  // the selector's request
  EXPECT_EQ(ReadCurrentCpiStage(hid, vendor, stage), kErrorGenFailure);
  EXPECT_EQ(stage, 99u);
  // The selector read works, the record's answer fails.
  world.devices.SetMemory(0x0049, std::vector<std::uint8_t>{4});
  int exchanges = 0;
  world.devices.onLog = [&](const std::string&) {
    if (++exchanges == 3) world.devices.failFeature = 1;
  };
  EXPECT_EQ(ReadCurrentCpiStage(hid, vendor, stage), kErrorGenFailure);
  EXPECT_EQ(stage, 99u);
  world.devices.onLog = nullptr;

  world.devices.Unplug();
  std::array<std::uint8_t, 32> block;
  block.fill(0xEE);
  EXPECT_NE(ReadDeviceBlock32(hid, vendor, block, 0x48), kErrorSuccess);
  EXPECT_EQ(block[0], 0xEE);
  EXPECT_EQ(block[31], 0xEE);
}

TEST_F(VendorProtocol, AFailedQueryLeavesTheHeaderPacked) {
  world.devices.failFeature = 1;
  auto b = Block({3, 0x40, 0, 1, 0, 0xFA, 0xFA, 0xFA});
  EXPECT_EQ(QueryFeatureCommand(hid, vendor, *b), kErrorGenFailure);
  EXPECT_EQ(b->Header[0], 2);  // the report ID
  EXPECT_EQ(b->Header[1], 3);
}

TEST_F(VendorProtocol, TheMouseVanishingBetweenRequestAndAnswerFailsTheRead) {
  world.devices.onLog = [&](const std::string& line) {
    if (line.rfind("set-feature", 0) == 0) world.devices.Unplug();
  };
  std::uint8_t byte = 0xEE;
  EXPECT_EQ(ReadDeviceByte(hid, vendor, byte, 0x40), kErrorDeviceNotConnected);
  EXPECT_EQ(byte, 0xEE);
}

TEST_F(VendorProtocol, AnswersLargerThanTheBlockAreCutToIt) {
  // A 4000-byte read would answer in a 4096-byte report; the block takes
  // what it holds and nothing beyond it is written.
  auto b = Block({3, 0, 0, 0xA0, 0x0F, 0xFA, 0xFA, 0xFA});
  world.devices.SetMemory(0, std::vector<std::uint8_t>(4000, 0x42));
  ASSERT_EQ(QueryFeatureCommand(hid, vendor, *b), kErrorSuccess);
  EXPECT_EQ(b->Payload[0], 0x42);
  EXPECT_EQ(b->Payload[2047], 0x42);
  EXPECT_EQ(world.devices.log.back().substr(0, 15), "get-feature 06 ");

  std::vector<std::uint8_t> big(3000, 0xEE);
  EXPECT_EQ(ReadDeviceMemory(hid, vendor, big, 3000, 0), kErrorInvalidParameter);
  EXPECT_EQ(big[0], 0xEE);
  EXPECT_EQ(world.devices.log.size(), 2u);  // no exchange for the refused read
  std::vector<std::uint8_t> most(2040);
  EXPECT_EQ(ReadDeviceMemory(hid, vendor, most, 2040, 0), kErrorSuccess);
  EXPECT_EQ(most[2039], 0x42);
}

TEST_F(VendorProtocol, ACollectionWhoseFeatureReportIsTooShortIsNotAsked) {
  world.devices.Unplug();
  world.devices.interfaces[sim::kSimVendorInterface].caps.FeatureReportByteLength = 16;
  world.devices.Plug();
  world.devices.log.clear();
  std::uint8_t byte = 0;
  EXPECT_EQ(ReadDeviceByte(hid, vendor, byte, 0x40), kErrorSuccess);  // class 2 fits
  std::array<std::uint8_t, 32> block;
  block.fill(0xEE);
  EXPECT_EQ(ReadDeviceBlock32(hid, vendor, block, 0x48), kErrorDeviceNotConnected);  // class 3 does not
  EXPECT_EQ(block[0], 0xEE);
}

}  // namespace
}  // namespace zr
