#include "controls/UC_Slider/UC_Slider.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "tests/controls/ControlTestUtil.h"
#include "widgets/PictureBox.h"

using namespace zarin_test;

namespace {

class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basic::SetTwipsPerPixel(15);
    slider.resize(224, 20);
    slider.SetMin(2);
    slider.SetMax(30);
    slider.SetSmallChange(1);
    slider.Init();
    slider.SetValue(10);
  }
  QWidget* Track() const { return slider.PictureSlider(); }
  int PointerPx() const { return static_cast<int>(slider.PointerPosition()) / 15; }
  UC_Slider slider;
};

TEST_F(SliderTest, TheRightArrowStepsAndRepeats) {
  slider.SetValue(28);
  QSignalSpy scrolled(&slider, &UC_Slider::Scrolled);
  Press(slider.PictureArrow(1), {3, 5});
  EXPECT_EQ(slider.Value(), 29);  // one step at once
  EXPECT_TRUE(slider.TimerCheck()->isActive());
  EXPECT_EQ(slider.TimerCheck()->interval(), 200);
  EXPECT_EQ(slider.Clicked(), -1);
  slider.TimerCheck_Timer();  // 200 ms later
  EXPECT_EQ(slider.Value(), 30);
  slider.TimerCheck_Timer();
  slider.TimerCheck_Timer();
  EXPECT_EQ(slider.Value(), 30);
  EXPECT_EQ(scrolled.count(), 4);  // every step reports, also at the end
  Release(slider.PictureArrow(1), {3, 5});
  EXPECT_FALSE(slider.TimerCheck()->isActive());
  EXPECT_EQ(slider.Clicked(), 0);
  slider.TimerCheck_Timer();  // nothing held: no step, no event
  EXPECT_EQ(scrolled.count(), 4);
}

TEST_F(SliderTest, ValuesAreClampedAndPlaced) {
  UC_Slider s;
  s.resize(224, 20);
  s.SetMin(0);
  s.SetMax(30);
  s.Init();
  s.SetValue(50);
  EXPECT_EQ(s.Value(), 30);
  EXPECT_EQ(s.PointerPosition(), s.Travel());
  s.SetValue(-5);
  EXPECT_EQ(s.Value(), 0);
  EXPECT_EQ(s.PointerPosition(), 0);
}

TEST_F(SliderTest, PressingBesideThePointerCentresItAndOnItKeepsTheGrip) {
  slider.SetValue(20);
  const double pointer = slider.PointerPosition();
  const int size = slider.PointerSize();
  // Left of the pointer: the pointer is centred on the mouse.
  Press(Track(), {20, 10});
  EXPECT_NEAR(slider.PointerPosition(), 20 * 15 - size / 2.0, 1);
  Release(Track(), {20, 10});
  // On the pointer's right half: the grab point stays under the mouse while dragging.
  slider.SetValue(20);
  const int onPointer = static_cast<int>((pointer + size * 0.75) / 15);
  Press(Track(), {onPointer, 10});
  const double grab = onPointer * 15 - slider.PointerPosition();
  Drag(Track(), {onPointer - 10, 10});
  EXPECT_NEAR(onPointer * 15 - 150 - slider.PointerPosition(), grab, 1);
  Release(Track(), {onPointer - 10, 10});
  // Dragging past the end gives Max and the pointer at the end.
  Press(Track(), {100, 10});
  Drag(Track(), {400, 10});
  EXPECT_EQ(slider.Value(), 30);
  EXPECT_EQ(slider.PointerPosition(), slider.TrackLength() - slider.PointerSize());
}

TEST_F(SliderTest, PointerSizeFromAFraction) {
  UC_Slider s;
  s.resize(104 + 2 * 12 + 1, 20);  // a 1500-twip track between the two arrows
  s.Init();
  ASSERT_EQ(s.TrackLength(), 1500);
  s.SetPointerSize(0.01f);
  EXPECT_EQ(s.PointerSize(), 120);  // 8 pixels, not 15 twips
  s.SetPointerSize(1.5f);
  EXPECT_EQ(s.PointerSize(), 1425);
}

TEST_F(SliderTest, AnEmptyRangeFreezesIt) {
  slider.SetMax(2);  // = Min
  slider.SetValue(20);
  EXPECT_EQ(slider.Value(), 10);
  Press(Track(), {150, 10});
  Drag(Track(), {180, 10});
  EXPECT_EQ(slider.Value(), 10);
}

TEST_F(SliderTest, RefusedInputAndTrackEvents) {
  QSignalSpy ud(&slider, &UC_Slider::MouseUD);
  QSignalSpy dbl(&slider, &UC_Slider::DblClicked);
  Press(Track(), {50, 10});
  Release(Track(), {50, 10});
  DoubleClick(Track(), {50, 10});
  EXPECT_EQ(ud.count(), 2);
  EXPECT_EQ(dbl.count(), 1);
  slider.SetRefuseInput(-1);
  const int before = slider.Value();
  Press(Track(), {200, 10});
  Press(slider.PictureArrow(0), {3, 5});
  EXPECT_EQ(slider.Value(), before);
  EXPECT_EQ(ud.count(), 2);
}

TEST(SliderVertical, VerticalSlidersRunDownwards) {
  basic::SetTwipsPerPixel(15);
  UC_Slider s;
  s.resize(20, 224);
  s.SetIsVertical(1);
  s.SetMin(0);
  s.SetMax(100);
  s.Init();
  EXPECT_GT(s.TrackLength(), 2000);
  s.SetValue(100);
  EXPECT_EQ(s.PointerPosition(), s.Travel());
  Press(s.PictureSlider(), {10, 5});
  EXPECT_EQ(s.Value(), 0);
}

}  // namespace
