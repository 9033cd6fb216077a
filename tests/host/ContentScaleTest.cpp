// The content scale a VST 2 host asks for: the editor's reported rectangle,
// the window size it asks the host for, and what it draws.
#include "HostTestSupport.h"
#include "hostlib/Editor.h"

#include <limits>
#include <vector>

namespace glowrasp::hosttest {
namespace {

struct TSizeRequest {
  int Width;
  int Height;
};

class ContentScale : public ::testing::Test {
protected:
  void SetUp() override {
    plugin.setSampleRate(44100.0f);
    plugin.setBlockSize(512);
    plugin.resume();
    plugin.onSizeWindow([this](int width, int height) {
      requests.push_back({width, height});
      return true;
    });
  }

  host::Plugin plugin{Library()};
  std::vector<TSizeRequest> requests;
};

TEST_F(ContentScale, ARequestBeforeOpeningSizesTheRectangleAndTheEditor) {
  struct TCase {
    double Scale;
    int Width;
    int Height;
  };
  for (const TCase& c : {TCase{2, 804, 500}, TCase{1.5, 603, 375}, TCase{1.25, 503, 313},
                         TCase{3, 1206, 750}, TCase{1, 402, 250}}) {
    SCOPED_TRACE(c.Scale);
    EXPECT_TRUE(host::setContentScale(plugin, c.Scale));
    const host::EditorSize rect = host::editorSize(plugin);
    EXPECT_EQ(rect.width, c.Width);
    EXPECT_EQ(rect.height, c.Height);
    const host::OpenEditor editor(plugin, nullptr);
    const host::EditorPicture picture = editor.snapshot();
    EXPECT_EQ(picture.width, c.Width);
    EXPECT_EQ(picture.height, c.Height);
  }
  EXPECT_TRUE(requests.empty()) << "the host already had the size";
}

TEST_F(ContentScale, ARequestWhileOpenResizesTheWindowThroughTheHost) {
  const host::OpenEditor editor(plugin, nullptr);
  ASSERT_TRUE(host::setContentScale(plugin, 2));
  editor.idle();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Width, 804);
  EXPECT_EQ(requests[0].Height, 500);
  EXPECT_EQ(host::editorSize(plugin).width, 804);
  std::vector<std::uint32_t> pixels(804 * 500);
  TEditorSnapshot request{804, 500, pixels.data()};
  EXPECT_EQ(plugin.privateRequest(kEditorSnapshotCode, &request), 1) << "pixels of the new size";

  host::setContentScale(plugin, 2);
  editor.idle();
  EXPECT_EQ(requests.size(), 1u) << "the same scale again asks for nothing";
}

TEST_F(ContentScale, NonsenseScalesFallBackToOneAndOutOfRangeOnesAreClamped) {
  struct TCase {
    float Scale;
    int Width;
  };
  for (const TCase& c :
       {TCase{0, 402}, TCase{-3, 402}, TCase{std::numeric_limits<float>::quiet_NaN(), 402},
        TCase{std::numeric_limits<float>::infinity(), 402}, TCase{0.5f, 402}, TCase{8, 1206}}) {
    host::setContentScale(plugin, c.Scale);
    EXPECT_EQ(host::editorSize(plugin).width, c.Width) << c.Scale;
  }
}

} // namespace
} // namespace glowrasp::hosttest
