#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include "models/ButtonPictures.h"
#include "models/EzRgnBtn.h"
#include "support/qt_app.h"

using namespace kelvaro;

namespace {

QImage solid(QColor c, int w = 20, int h = 10) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

// A picture with a magenta frame (the key colour) around a green 4 x 4 core.
QImage framed() {
  QImage img(8, 8, QImage::Format_RGB32);
  img.fill(QColor(255, 0, 255));
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x) img.setPixelColor(x, y, QColor(0, 200, 0));
  return img;
}

void send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
void press(QWidget* w, QPoint at = {2, 2}) { send(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
void release(QWidget* w, QPoint at = {2, 2}) { send(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
void moveHeld(QWidget* w, QPoint at) { send(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
void moveFree(QWidget* w, QPoint at) { send(w, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }

class PictureButton : public ::testing::Test {
 protected:
  void SetUp() override { test::ensureQtApp(); }
};

}  // namespace

TEST_F(PictureButton, StartsSmallAndTakesItsPicturesSize) {
  TEzRgnBtn b;
  EXPECT_EQ(b.size(), QSize(15, 15));
  EXPECT_FALSE(b.AutoRepeat());
  EXPECT_EQ(b.AutoRepeatInterval(), 300);
  EXPECT_TRUE(b.Enabled());
  EXPECT_FALSE(b.Disabled());
  EXPECT_EQ(b.PaintMode(), TPaintMode::pmNormal);
  b.SetPicIdle(solid(Qt::red, 31, 17));
  EXPECT_EQ(b.size(), QSize(31, 17));
}

TEST_F(PictureButton, ChoosesThePictureOfItsState) {
  TEzRgnBtn b;
  const QImage idle = solid(Qt::red), up = solid(Qt::green), down = solid(Qt::blue), off = solid(Qt::gray);
  b.SetImageList({idle, up, down, off});
  EXPECT_EQ(b.chosenPicture(), idle);
  moveFree(&b, {3, 3});  // pointer over it
  EXPECT_TRUE(b.isInside());
  EXPECT_EQ(b.chosenPicture(), up);
  press(&b);
  EXPECT_EQ(b.chosenPicture(), down);
  moveHeld(&b, {100, 100});  // held, but off the button
  EXPECT_FALSE(b.isInside());
  EXPECT_EQ(b.chosenPicture(), idle);
  release(&b, {100, 100});
  b.SetEnabled(false);
  EXPECT_TRUE(b.Disabled());
  EXPECT_EQ(b.chosenPicture(), off);
  moveFree(&b, {3, 3});
  press(&b);
  EXPECT_EQ(b.chosenPicture(), off);  // no hover or pressed picture while disabled
}

TEST_F(PictureButton, MissingPicturesFallBackToTheNormalOne) {
  TEzRgnBtn b;
  const QImage idle = solid(Qt::red), up = solid(Qt::green);
  b.SetImageList({idle, up});  // two images: idle and up only
  EXPECT_EQ(b.PicIdle(), idle);
  EXPECT_EQ(b.PicUp(), up);
  EXPECT_TRUE(b.PicDown().isNull());
  EXPECT_TRUE(b.PicDsbld().isNull());
  moveFree(&b, {3, 3});
  press(&b);
  EXPECT_EQ(b.chosenPicture(), idle);  // no down picture
  release(&b);
  int clicks = 0;
  QObject::connect(&b, &TEzRgnBtn::OnClick, [&] { ++clicks; });
  b.SetEnabled(false);
  EXPECT_EQ(b.chosenPicture(), idle);  // no disabled picture
  press(&b);
  release(&b);
  EXPECT_EQ(clicks, 0);
  b.SetEnabled(true);
  press(&b);
  release(&b);
  EXPECT_EQ(clicks, 1);
  // Released away from the button: no click.
  press(&b);
  release(&b, {200, 200});
  EXPECT_EQ(clicks, 1);
}

TEST_F(PictureButton, EventsAndDoubleClicksAreIgnored) {
  TEzRgnBtn b;
  b.SetPicIdle(solid(Qt::red));
  QStringList events;
  QObject::connect(&b, &TEzRgnBtn::OnMouseEnter, [&] { events << "enter"; });
  QObject::connect(&b, &TEzRgnBtn::OnMouseLeave, [&] { events << "leave"; });
  QObject::connect(&b, &TEzRgnBtn::OnMouseDown, [&] { events << "down"; });
  QObject::connect(&b, &TEzRgnBtn::OnMouseUp, [&] { events << "up"; });
  QObject::connect(&b, &TEzRgnBtn::OnClick, [&] { events << "click"; });
  moveFree(&b, {3, 3});
  moveFree(&b, {4, 3});  // already inside: no second enter
  press(&b);
  release(&b);
  send(&b, QEvent::MouseButtonDblClick, {3, 3}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(b.isPressed());
  moveFree(&b, {50, 50});
  EXPECT_EQ(events, (QStringList{"enter", "down", "up", "click", "leave"}));
}

TEST_F(PictureButton, RepeatsExactlyWhileHeldInside) {
  TEzRgnBtn b;
  b.SetPicIdle(solid(Qt::red));
  b.SetAutoRepeat(true);
  b.SetAutoRepeatInterval(20);
  b.SetAutoRepeatInterval(0);  // ignored
  EXPECT_EQ(b.AutoRepeatInterval(), 20);
  int clicks = 0;
  QObject::connect(&b, &TEzRgnBtn::OnClick, [&] { ++clicks; });
  moveFree(&b, {3, 3});
  EXPECT_FALSE(b.repeating());
  press(&b);
  EXPECT_TRUE(b.repeating());
  QTest::qWait(130);
  const int held = clicks;
  EXPECT_GE(held, 2);
  moveHeld(&b, {80, 80});  // slid off
  EXPECT_FALSE(b.repeating());
  QTest::qWait(80);
  EXPECT_EQ(clicks, held);
  moveHeld(&b, {3, 3});  // back on, still held
  EXPECT_TRUE(b.repeating());
  QTest::qWait(80);
  EXPECT_GT(clicks, held);
  release(&b);
  EXPECT_FALSE(b.repeating());
  b.SetAutoRepeat(false);
  moveFree(&b, {3, 3});
  press(&b);
  EXPECT_FALSE(b.repeating());
  release(&b);
}

TEST_F(PictureButton, CropLeavesOutTheCornerColour) {
  QRegion r = TEzRgnBtn::cropRegion(framed());
  EXPECT_FALSE(r.contains(QPoint(0, 0)));
  EXPECT_FALSE(r.contains(QPoint(1, 5)));
  EXPECT_TRUE(r.contains(QPoint(2, 2)));
  EXPECT_TRUE(r.contains(QPoint(5, 5)));
  EXPECT_FALSE(r.contains(QPoint(6, 5)));
  EXPECT_EQ(r.boundingRect(), QRect(2, 2, 4, 4));

  TEzRgnBtn b;
  b.SetPicIdle(framed());
  b.SetPaintMode(TPaintMode::pmCrop);
  EXPECT_TRUE(b.isCropped());
  EXPECT_EQ(b.mask(), r);
  // A new idle picture rebuilds the region.
  b.SetPicIdle(solid(Qt::red, 8, 8));
  EXPECT_EQ(b.mask().boundingRect(), QRect(0, 0, 8, 8));
  b.SetPaintMode(TPaintMode::pmNormal);
  EXPECT_FALSE(b.isCropped());
  EXPECT_TRUE(b.mask().isEmpty());
  // Over a key pixel the pointer is not on the button.
  b.SetPicIdle(framed());
  b.SetPaintMode(TPaintMode::pmCrop);
  moveFree(&b, {0, 0});
  EXPECT_FALSE(b.isInside());
  moveFree(&b, {3, 3});
  EXPECT_TRUE(b.isInside());
}

TEST_F(PictureButton, TransparentModeLeavesTheKeyColourOut) {
  QWidget parent;
  parent.setAutoFillBackground(true);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, QColor(10, 20, 30));
  parent.setPalette(pal);
  parent.resize(20, 20);
  auto* b = new TEzRgnBtn(&parent);
  b->SetPicIdle(framed());
  QImage normal = parent.grab().toImage();
  EXPECT_EQ(normal.pixelColor(0, 0), QColor(255, 0, 255));
  b->SetPaintMode(TPaintMode::pmTransparent);
  QImage keyed = parent.grab().toImage();
  EXPECT_EQ(keyed.pixelColor(0, 0), QColor(10, 20, 30));
  EXPECT_EQ(keyed.pixelColor(3, 3), QColor(0, 200, 0));
}

TEST_F(PictureButton, DrawnGlyphsHaveFourDistinctStatesOnTheKey) {
  for (ButtonGlyph g : {ButtonGlyph::CameraUp, ButtonGlyph::ZoomIn, ButtonGlyph::Start, ButtonGlyph::Step,
                        ButtonGlyph::Pause, ButtonGlyph::Reset, ButtonGlyph::Close}) {
    TImageList pics = buttonPictures(g, 24);
    ASSERT_EQ(pics.size(), 4);
    for (const QImage& p : pics) {
      EXPECT_EQ(p.size(), QSize(24, 24));
      EXPECT_EQ(p.pixel(0, 0), kButtonKey);
      EXPECT_NE(p.pixel(12, 12), kButtonKey);
    }
    EXPECT_NE(pics[0], pics[1]);
    EXPECT_NE(pics[0], pics[2]);
    EXPECT_NE(pics[0], pics[3]);
  }
  // The up and down arrows differ.
  EXPECT_NE(buttonPictures(ButtonGlyph::CameraUp)[0], buttonPictures(ButtonGlyph::CameraDown)[0]);
}
