// TqvProfile over the simulated registry and files.
#include "profile/qv_profile.h"

#include <gtest/gtest.h>

#include <memory>
#include <cstring>
#include <random>

#include "platform/sim/sim_world.h"
#include "profile/records.h"

namespace zr {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kKey[] = "software\\software\\DAvezodev";

Bytes Pattern(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

class ProfileComponent : public ::testing::Test {
 protected:
  void SetUp() override {
    c.SetRootKey(kHkeyCurrentUser);
    c.SetKeyPath(kKey);
    c.SetFileName("Profile1.pfd");
    world.files.AddFolder("C:\\p");
    c.SetFilePath("C:\\p");
  }
  void WriteBytes(const Bytes& b) { c.Write(b.data(), static_cast<std::int32_t>(b.size())); }
  Bytes StoredValue() { return world.registry.GetValue(kHkeyCurrentUser, kKey, "Profile1.pfd")->data; }

  sim::SimWorld world;
  sim::SimProcess process{world};
  TqvProfile c{process.platform()};
};

TEST_F(ProfileComponent, AProfileSavedAndLoadedAgainKeepsEveryByte) {
  // Random bytes stand for fillers, reserved and uninterpreted fields alike.
  const Bytes original = Pattern(sizeof(TMOUSEPROFILEINFO), 1);
  auto record = std::make_unique<TMOUSEPROFILEINFO>();
  std::memcpy(record.get(), original.data(), original.size());
  c.Write(record.get(), sizeof(TMOUSEPROFILEINFO));
  ASSERT_TRUE(c.SaveStreamToRegistry());
  ASSERT_TRUE(c.SaveStreamToFile());

  for (bool fromFile : {false, true}) {
    TqvProfile other(process.platform());
    other.SetRootKey(kHkeyCurrentUser);
    other.SetKeyPath(kKey);
    other.SetFileName("Profile1.pfd");
    other.SetFilePath("C:\\p\\");
    ASSERT_TRUE(fromFile ? other.LoadStreamFromFile() : other.LoadStreamFromRegistry());
    auto back = std::make_unique<TMOUSEPROFILEINFO>();
    EXPECT_EQ(other.Read(back.get(), sizeof(TMOUSEPROFILEINFO)), int(sizeof(TMOUSEPROFILEINFO)));
    EXPECT_EQ(std::memcmp(back.get(), original.data(), original.size()), 0);
  }
  EXPECT_EQ(world.registry.GetValue(kHkeyCurrentUser, kKey, "Profile1.pfd")->type, kRegBinary);
}

TEST_F(ProfileComponent, AShorterStoredValueFillsOnlyTheStartOfTheRecord) {
  world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile1.pfd", kRegBinary, Bytes(100, 0xAB));
  WriteBytes(Bytes(1000, 0));
  ASSERT_TRUE(c.LoadStreamFromRegistry());
  EXPECT_EQ(c.Stream().size(), 100u);
  EXPECT_EQ(c.Size(), 1000);  // loads do not change Size
  Bytes record(1000, 0x11);
  EXPECT_EQ(c.Read(record.data(), 1000), 100);
  EXPECT_EQ(record[99], 0xAB);
  EXPECT_EQ(record[100], 0x11);
}

TEST_F(ProfileComponent, BytesBeyondTheRecordAreKeptAndSavedAgain) {
  Bytes stored = Pattern(1200, 2);
  world.files.PutFile("C:\\p\\Profile1.pfd", stored);
  ASSERT_TRUE(c.LoadStreamFromFile());
  Bytes record(1000);
  EXPECT_EQ(c.Read(record.data(), 1000), 1000);
  record[0] ^= 0xFF;
  WriteBytes(record);
  ASSERT_TRUE(c.SaveStreamToFile());
  stored[0] ^= 0xFF;
  EXPECT_EQ(*world.files.GetFile("C:\\p\\Profile1.pfd"), stored);
}

TEST_F(ProfileComponent, ALoadFromAMissingKeyCreatesTheKeyAndFails) {
  c.SetKeyPath("software\\New\\Key");
  EXPECT_FALSE(world.registry.KeyExists(kHkeyCurrentUser, "software\\New\\Key"));
  EXPECT_FALSE(c.LoadStreamFromRegistry());
  EXPECT_TRUE(world.registry.KeyExists(kHkeyCurrentUser, "software\\New\\Key"));
}

TEST_F(ProfileComponent, RegistryTransfersNeedARootAKeyPathAndAName) {
  WriteBytes(Bytes(10, 1));
  for (const RegistryRoot root : {RegistryRoot(0), RegistryRoot(0x80000000u)}) {
    c.SetRootKey(root);
    EXPECT_FALSE(c.SaveStreamToRegistry());
    EXPECT_FALSE(c.LoadStreamFromRegistry());
  }
  c.SetRootKey(kHkeyLocalMachine);
  EXPECT_TRUE(c.SaveStreamToRegistry());
  c.SetKeyPath("");
  EXPECT_FALSE(c.SaveStreamToRegistry());
  c.SetKeyPath(kKey);
  c.SetFileName("");
  EXPECT_FALSE(c.LoadStreamFromRegistry());
  world.registry.DenyKey(kHkeyCurrentUser, "software\\Denied");
  c.SetRootKey(kHkeyCurrentUser);
  c.SetFileName("x");
  c.SetKeyPath("software\\Denied");
  EXPECT_FALSE(c.SaveStreamToRegistry());
  EXPECT_FALSE(c.LoadStreamFromRegistry());
}

TEST_F(ProfileComponent, FilePathIsTakenOnlyForAnExistingFolder) {
  EXPECT_EQ(c.FilePath(), "C:\\p\\");
  c.SetFilePath("C:\\missing");
  EXPECT_EQ(c.FilePath(), "C:\\p\\");
  c.SetFilePath("");
  EXPECT_EQ(c.FilePath(), "C:\\p\\");
  world.files.AddFolder("C:\\q");
  c.SetFilePath("C:\\q");
  EXPECT_EQ(c.FilePath(), "C:\\q\\");
}

TEST_F(ProfileComponent, SavingToANamedFileCreatesOneFolderLevel) {
  WriteBytes(Bytes(4, 9));
  EXPECT_FALSE(c.SaveStreamToFile("bare.pfd"));
  EXPECT_FALSE(c.SaveStreamToFile("C:\\a\\b\\deep.pfd"));  // the parent C:\a is missing
  EXPECT_FALSE(world.files.FolderExists("C:\\a"));
  EXPECT_TRUE(c.SaveStreamToFile("C:\\p\\sub\\one.pfd"));
  EXPECT_EQ(*world.files.GetFile("C:\\p\\sub\\one.pfd"), Bytes(4, 9));
  EXPECT_EQ(c.FilePath(), "C:\\p\\");  // the named-file forms keep the properties
  EXPECT_EQ(c.FileName(), "Profile1.pfd");

  EXPECT_TRUE(c.PreSaveStreamToFile("C:\\p\\other\\two.pfd"));
  EXPECT_TRUE(world.files.FolderExists("C:\\p\\other"));
  EXPECT_FALSE(world.files.FileExists("C:\\p\\other\\two.pfd"));
  EXPECT_EQ(c.FilePath(), "C:\\p\\other\\");
  EXPECT_EQ(c.FileName(), "two.pfd");
}

TEST_F(ProfileComponent, ACancellingBeforeEventStopsEveryTransferBeforeAnyByteMoves) {
  int after = 0;
  auto cancel = [](TMemoryStream&, bool& bContinue) { bContinue = false; };
  auto count = [&](const TMemoryStream&) { ++after; };
  c.OnBeforeLoadFromRegistry = c.OnBeforeSaveToRegistry = c.OnBeforeLoadFromFile = c.OnBeforeSaveToFile = cancel;
  c.OnAfterLoadFromRegistry = c.OnAfterSaveToRegistry = c.OnAfterLoadFromFile = c.OnAfterSaveToFile = count;
  world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile1.pfd", kRegBinary, Bytes(3, 7));
  world.files.PutFile("C:\\p\\Profile1.pfd", Bytes(3, 7));
  WriteBytes(Bytes(5, 1));

  EXPECT_FALSE(c.LoadStreamFromRegistry());
  EXPECT_FALSE(c.SaveStreamToRegistry());
  EXPECT_FALSE(c.LoadStreamFromFile());
  EXPECT_FALSE(c.LoadStreamFromFile("C:\\p\\Profile1.pfd"));
  EXPECT_FALSE(c.SaveStreamToFile());
  EXPECT_FALSE(c.SaveStreamToFile("C:\\p\\x.pfd"));
  EXPECT_EQ(after, 0);
  EXPECT_EQ(c.Stream(), Bytes(5, 1));
  EXPECT_EQ(StoredValue(), Bytes(3, 7));
  EXPECT_EQ(*world.files.GetFile("C:\\p\\Profile1.pfd"), Bytes(3, 7));
  EXPECT_FALSE(world.files.FileExists("C:\\p\\x.pfd"));

  c.OnBeforeLoadFromRegistry = c.OnBeforeSaveToRegistry = c.OnBeforeLoadFromFile = c.OnBeforeSaveToFile = nullptr;
  EXPECT_TRUE(c.SaveStreamToRegistry());
  EXPECT_TRUE(c.LoadStreamFromFile("C:\\p\\Profile1.pfd"));
  EXPECT_EQ(after, 2);
}

TEST_F(ProfileComponent, TextAndNumberValuesAreErrorsAndLeaveTheStream) {
  WriteBytes(Bytes(8, 5));
  for (const std::uint32_t type : {kRegSz, kRegExpandSz, kRegDword}) {
    world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile1.pfd", type, Bytes(4, 1));
    EXPECT_THROW(c.LoadStreamFromRegistry(), StorageError);
    EXPECT_EQ(c.Stream(), Bytes(8, 5));
  }
  world.registry.SetValue(kHkeyCurrentUser, kKey, "Profile1.pfd", kRegMultiSz, Bytes(4, 1));
  EXPECT_TRUE(c.LoadStreamFromRegistry());  // any other type is read as bytes
  EXPECT_EQ(c.Stream(), Bytes(4, 1));
}

TEST_F(ProfileComponent, UnreadableFilesAndFailedWritesAreErrors) {
  world.files.PutFile("C:\\p\\Profile1.pfd", Bytes(3, 1));
  world.files.SetUnreadable("C:\\p\\Profile1.pfd");
  EXPECT_THROW(c.LoadStreamFromFile(), StorageError);
  EXPECT_THROW(c.LoadStreamFromFile("C:\\p\\Profile1.pfd"), StorageError);

  world.registry.FailWrites(1);
  EXPECT_THROW(c.SaveStreamToRegistry(), StorageError);
  // The no-argument save does not create the folder: one that went away
  // meanwhile makes the write fail.
  world.files.AddFolder("C:\\gone");
  c.SetFilePath("C:\\gone");
  world.files.RemoveFolder("C:\\gone");
  EXPECT_THROW(c.SaveStreamToFile(), StorageError);
}

TEST_F(ProfileComponent, ASaveThatFailsMidwayLeavesThePreviousFileWhole) {
  const Bytes previous = Pattern(sizeof(TMOUSEPROFILEINFO), 3);
  world.files.PutFile("C:\\p\\Profile1.pfd", previous);
  WriteBytes(Pattern(sizeof(TMOUSEPROFILEINFO), 4));
  world.files.FailWritesAfterBytes(50000);  // the disk fills up halfway
  EXPECT_THROW(c.SaveStreamToFile(), StorageError);
  EXPECT_EQ(*world.files.GetFile("C:\\p\\Profile1.pfd"), previous);
  EXPECT_EQ(world.files.FilesIn("C:\\p"), std::vector<std::string>{"profile1.pfd"});  // no temporary left
}

TEST_F(ProfileComponent, WriteReadAndSize) {
  WriteBytes(Bytes(10, 1));
  WriteBytes(Bytes(4, 2));
  EXPECT_EQ(c.Stream(), (Bytes{2, 2, 2, 2, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(c.Size(), 10);
  c.SetSize(3);
  EXPECT_EQ(c.Stream(), (Bytes{2, 2, 2}));
  c.SetSize(-1);
  EXPECT_EQ(c.Size(), 3);
  EXPECT_EQ(c.Write(nullptr, -5), 0);
  Bytes out(2, 0);
  EXPECT_EQ(c.Read(out.data(), 2), 2);
  EXPECT_EQ(c.Read(out.data(), -1), 0);
  int restored = 0;
  c.RestoreToDefault();  // no handler: nothing happens
  c.OnRestoreToDefault = [&](TMemoryStream& s) { s[0] = 9, ++restored; };
  c.RestoreToDefault();
  EXPECT_EQ(restored, 1);
  EXPECT_EQ(c.Stream()[0], 9);
}

}  // namespace
}  // namespace zr
