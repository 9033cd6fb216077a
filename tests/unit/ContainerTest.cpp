// Skin containers: the frame grid follows picture and frame size, listeners
// hear every change, and image controls draw and size themselves from them.
#include "editor/EffDataModule.h"
#include "editor/GraphicContainer.h"
#include "editor/GraphicImage.h"
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace {

// A grey JPEG of the given size.
std::vector<std::uint8_t> EncodeJpeg(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3, 128);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<std::uint8_t> data(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return data;
}

void GivePicture(TGraphicContainer& container, int width, int height) {
  TPicture picture;
  picture.LoadFromJpeg(EncodeJpeg(width, height));
  container.SetPicture(picture);
}

struct TKindLog {
  std::vector<std::uint8_t> Kinds;
  void Notify(void*, std::uint8_t Kind, std::int32_t) { Kinds.push_back(Kind); }
};

using TKinds = std::vector<std::uint8_t>;

TEST(ContainerTest, CountsWholeFramesOnly) {
  struct TCase {
    int PictureWidth, PictureHeight, FrameWidth, FrameHeight;
    int CountX, CountY, Count;
  };
  for (const TCase c : {TCase{740, 444, 74, 74, 10, 6, 60},
                        {740, 444, 74, 64, 10, 6, 60},
                        {73, 74, 74, 74, 0, 1, 0},
                        {0, 0, 74, 74, 0, 0, 0}}) {
    SCOPED_TRACE(std::to_string(c.PictureWidth) + "x" + std::to_string(c.PictureHeight) +
                 " in frames of " + std::to_string(c.FrameWidth) + "x" +
                 std::to_string(c.FrameHeight));
    TGraphicContainer container(nullptr);
    if (c.PictureWidth > 0)
      GivePicture(container, c.PictureWidth, c.PictureHeight);
    container.SetWidth(c.FrameWidth);
    container.SetHeight(c.FrameHeight);
    EXPECT_EQ(container.ImageCountX(), c.CountX);
    EXPECT_EQ(container.ImageCountY(), c.CountY);
    EXPECT_EQ(container.ImageCount(), c.Count);
  }
}

TEST(ContainerTest, TellsListenersOfRealChangesOnly) {
  TKindLog log;
  {
    TGraphicContainer container(nullptr);
    container.Notifier().AddListener(&log, TGraphicNotifyEvent::Bind<&TKindLog::Notify>(&log));
    container.SetWidth(64); // the initial value
    container.SetHeight(0);
    EXPECT_EQ(container.Height(), 1);
    container.SetHeight(-5);
    GivePicture(container, 10, 10);
    EXPECT_EQ(container.ImageCountY(), 10);
  }
  EXPECT_EQ(log.Kinds, (TKinds{gnSizeChanged, gnPictureChanged, gnDestroying}));
}

TEST(ContainerTest, SkinModuleHoldsTheThreePictures) {
  CreateEffectDataModule();
  const TEffectDataModule& skin = *EffectDataModule;
  for (const TGraphicContainer* c : {skin.BackgroundImage, skin.HelpImage}) {
    EXPECT_EQ(c->Picture().Width(), 402);
    EXPECT_EQ(c->Picture().Height(), 250);
  }
  EXPECT_EQ(skin.KnobImage->Width(), 74);
  EXPECT_EQ(skin.KnobImage->Height(), 74);
  EXPECT_EQ(skin.KnobImage->ImageCountX(), 10);
  EXPECT_EQ(skin.KnobImage->ImageCountY(), 6);
  EXPECT_EQ(skin.KnobImage->ImageCount(), 60);

  TGraphicContainer missing(nullptr);
  LoadSkinPicture(missing, "nothing.jpg");
  EXPECT_TRUE(missing.Picture().Empty());
}

constexpr TColor kFormColor = 0x123456;

class GraphicImageTest : public testing::Test {
protected:
  GraphicImageTest() {
    Form.Color = kFormColor;
    Form.SetClientSize(60, 50);
    Image->SetParent(&Form);
    Image->SetBounds(5, 5, 20, 20);
    GivePicture(*Container, 30, 40);
  }

  // Whether the form's pixel at (x, y) is the grey of the test pictures.
  bool Picture(int x, int y) const { return Form.BackBuffer().Pixel(x, y) != kFormColor; }

  TForm Form{nullptr, nullptr};
  std::unique_ptr<TGraphicContainer> Container = std::make_unique<TGraphicContainer>(nullptr);
  TGraphicImage* Image = CreateComponent<TGraphicImage>(&Form, "Image");
};

TEST_F(GraphicImageTest, DrawsTheTopLeftThatFitsOrSizesToThePicture) {
  Image->SetContainer(Container.get());
  EXPECT_TRUE(Picture(5, 5));
  EXPECT_TRUE(Picture(24, 24));
  EXPECT_FALSE(Picture(25, 24)) << "drew outside its rectangle";

  Image->SetAutoSize(true);
  EXPECT_EQ(Image->Width(), 30);
  EXPECT_EQ(Image->Height(), 40);
  EXPECT_TRUE(Picture(34, 44));

  GivePicture(*Container, 8, 9);
  EXPECT_EQ(Image->Width(), 8);
  EXPECT_EQ(Image->Height(), 9);
  EXPECT_FALSE(Picture(20, 20)) << "the area it left was not repainted";
}

TEST_F(GraphicImageTest, DrawsNothingOnceItsContainerIsGone) {
  Image->SetContainer(Container.get());
  Container.reset();
  EXPECT_EQ(Image->Container(), nullptr);
  Form.Repaint();
  EXPECT_FALSE(Picture(10, 10));
}

} // namespace
