// The image database over the simulated platform's files and pictures: the
// folder, the path rules, the cache and the "EMPTY" name.
#include <gtest/gtest.h>

#include <tuple>

#include "app/monitor_program.h"
#include "imagedb/image_database.h"
#include "platform/sim/sim_world.h"

namespace zr {
namespace {

class Images : public ::testing::Test {
 protected:
  void SetUp() override {
    world.files.PutFile("C:\\img\\a.bmp", sim::MakeBitmapFile(4, 3));
    world.files.PutFile("C:\\img\\sub\\b.bmp", sim::MakeBitmapFile(5, 2));
    world.files.PutFile("C:\\other\\a.bmp", sim::MakeBitmapFile(7, 7));
    world.files.PutFile("C:\\img\\EMPTY", sim::MakeBitmapFile(1, 1));
    world.files.PutText("C:\\img\\text.bmp", "not a picture");
    world.files.PutFile("C:\\img\\flat.bmp", sim::MakeBitmapFile(6, 0));
  }
  // A picture loaded by other means than the database.
  TBitmap Picture(int w, int h) {
    world.files.PutFile("C:\\tmp.bmp", sim::MakeBitmapFile(w, h));
    return TBitmap(pictures.LoadFromFile("C:\\tmp.bmp"));
  }

  sim::SimWorld world;
  sim::SimBitmaps pictures{world.files};
  TImageDataBase db{world.files, world.bitmaps, "C:\\img"};
};

TEST_F(Images, TheFolderEndsWithExactlyOneBackslashAndChangingItEmptiesTheCache) {
  for (const char* path : {"C:\\img", "C:\\img\\", "C:\\img\\\\"}) {
    db.IMAGE("a.bmp", "");
    ASSERT_EQ(db.IMGDB().size(), 1u);
    db.SetImageBasePath(path);
    EXPECT_EQ(db.ImageDBPath(), "C:\\img\\") << path;
    EXPECT_TRUE(db.IMGDB().empty()) << path;
  }
}

TEST_F(Images, ASecondRequestIsServedFromTheCacheWithoutReadingTheFile) {
  const auto first = db.IMAGE("a.bmp", "");
  EXPECT_EQ(first->Width(), 4);
  EXPECT_EQ(world.bitmaps.loads, 1);
  ASSERT_EQ(db.IMGDB().size(), 1u);
  EXPECT_NE(first, db.IMGDB()[0].Image);  // a copy for the caller
  EXPECT_EQ(db.IMGDB()[0].ImagePath, "C:\\img\\a.bmp");

  EXPECT_EQ(db.IMAGE("a.bmp", "C:\\other\\"), db.IMGDB()[0].Image);  // the name alone finds it
  TBitmap target;
  db.AssignIMAGE(target, "a.bmp", "", "");
  EXPECT_EQ(target.Height(), 3);
  EXPECT_EQ(world.bitmaps.loads, 1);
  EXPECT_EQ(db.IMGDB().size(), 1u);
  db.IMAGE("A.BMP", "");  // names are compared exactly
  EXPECT_EQ(world.bitmaps.loads, 2);
}

TEST_F(Images, PathRulesPickTheFile) {
  struct Case {
    const char* name;
    const char* path;
    const char* subPath;
    const char* file;
    int width;
    int widthFromIMAGE;  // IMAGE takes no sub path
  };
  for (const Case c : {Case{"a.bmp", "", "", "C:\\img\\a.bmp", 4, 4},
                       Case{"a.bmp", "C:\\other\\", "sub", "C:\\other\\a.bmp", 7, 7},
                       Case{"b.bmp", "", "sub", "C:\\img\\sub\\b.bmp", 5, 0}}) {
    SCOPED_TRACE(c.file);
    db.SetImageBasePath("C:\\img");
    TBitmap target;
    db.AssignIMAGE(target, c.name, c.path, c.subPath);
    EXPECT_EQ(target.Width(), c.width);
    ASSERT_EQ(db.IMGDB().size(), 1u);
    EXPECT_EQ(db.IMGDB()[0].ImagePath, c.file);
    db.SetImageBasePath("C:\\img");
    EXPECT_EQ(db.IMAGE(c.name, c.path)->Width(), c.widthFromIMAGE);
  }
}

TEST_F(Images, WhatCannotBeLoadedLeavesTheTargetAsItWasAndIsNotCached) {
  for (const char* name : {"missing.bmp", "text.bmp", "flat.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(db.IMAGE(name, "")->Empty());
    TBitmap target = Picture(9, 8);
    db.AssignIMAGE(target, name, "", "");
    EXPECT_EQ(target.Width(), 9);
    EXPECT_TRUE(db.IMGDB().empty());
  }
}

// The database's own test of the size, whatever a loader lets through.
TEST(ImagesOfAnySize, APictureWithoutWidthOrHeightIsNeitherGivenNorCached) {
  struct SizedImage final : BitmapImage {
    SizedImage(int w, int h) : w(w), h(h) {}
    int Width() const override { return w; }
    int Height() const override { return h; }
    std::unique_ptr<BitmapImage> Copy() const override { return std::make_unique<SizedImage>(w, h); }
    int w, h;
  };
  struct AnySizeLoader final : BitmapPort {
    std::unique_ptr<BitmapImage> LoadFromFile(std::string_view) override {
      return std::make_unique<SizedImage>(width, height);
    }
    int width = 0, height = 0;
  };
  sim::SimWorld world;
  world.files.PutText("C:\\img\\a.bmp", "a picture of the size the loader says");
  for (const auto& [width, height, usable] : {std::tuple{6, 0, false}, std::tuple{0, 5, false},
                                               std::tuple{6, -1, false}, std::tuple{1, 1, true}}) {
    SCOPED_TRACE(testing::Message() << width << " by " << height);
    AnySizeLoader loader;
    loader.width = width;
    loader.height = height;
    TImageDataBase db(world.files, loader, "C:\\img");
    EXPECT_EQ(db.IMAGE("a.bmp", "")->Empty(), !usable);
    TBitmap target(std::make_unique<SizedImage>(9, 8));
    db.AssignIMAGE(target, "a.bmp", "", "");
    EXPECT_EQ(target.Width(), usable ? 1 : 9);
    EXPECT_EQ(db.IMGDB().size(), usable ? 1u : 0u);
  }
}

TEST_F(Images, EmptyClearsTheTargetEvenWhenAFileOfThatNameExists) {
  TBitmap target = Picture(9, 8);
  db.AssignIMAGE(target, "EMPTY", "", "");
  EXPECT_TRUE(target.Empty());
  EXPECT_TRUE(db.IMGDB().empty());
  EXPECT_EQ(world.bitmaps.loads, 0);
}

TEST(ImagesAtStartUp, TheProgramsDatabaseServesImages0409BesideTheExecutableUntilTheEnd) {
  sim::SimWorld world;
  sim::SimProcess process(world);
  MonitorProgram program(process.platform());
  EXPECT_EQ(program.ImageDataBase(), nullptr);
  ASSERT_TRUE(program.Start());
  ASSERT_NE(program.ImageDataBase(), nullptr);
  EXPECT_EQ(program.ImageDataBase()->ImageDBPath(), process.ExeFolder() + "Images\\0409\\");
  EXPECT_TRUE(program.ImageDataBase()->IMGDB().empty());  // no form asks for a picture
  program.Finish();
  EXPECT_EQ(program.ImageDataBase(), nullptr);
}

}  // namespace
}  // namespace zr
