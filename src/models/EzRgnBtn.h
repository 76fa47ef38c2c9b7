#pragma once
// TEzRgnBtn: a push button drawn entirely from pictures (idle, hover, pressed, disabled). It
// sizes itself to its picture, can leave out the colour of the picture's corner pixel or
// clip itself to the idle picture's other pixels, and can repeat its click while held.
#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

namespace kelvaro {

enum class TPaintMode { pmNormal, pmCrop, pmTransparent };

// Pictures handed over together: images 0 … 3 become idle, up, down and disabled.
using TImageList = QList<QImage>;

class TEzRgnBtn : public QWidget {
  Q_OBJECT
 public:
  explicit TEzRgnBtn(QWidget* parent = nullptr);

  bool AutoRepeat() const { return autoRepeat_; }
  void SetAutoRepeat(bool on);
  int AutoRepeatInterval() const { return interval_; }
  void SetAutoRepeatInterval(int ms);  // 0 keeps the previous interval

  bool Enabled() const { return enabled_; }
  bool Disabled() const { return !enabled_; }
  void SetEnabled(bool on);

  const QImage& PicIdle() const { return pics_[0]; }
  const QImage& PicUp() const { return pics_[1]; }
  const QImage& PicDown() const { return pics_[2]; }
  const QImage& PicDsbld() const { return pics_[3]; }
  void SetPicIdle(const QImage& img);
  void SetPicUp(const QImage& img);
  void SetPicDown(const QImage& img);
  void SetPicDsbld(const QImage& img);
  void SetImageList(const TImageList& images);

  TPaintMode PaintMode() const { return mode_; }
  void SetPaintMode(TPaintMode mode);

  // State, for tests and the windows.
  bool isInside() const { return inside_; }
  bool isPressed() const { return pressed_; }
  bool isCropped() const { return cropped_; }
  bool repeating() const { return timer_.isActive(); }
  // The picture the button shows now (may be null).
  const QImage& chosenPicture() const;

  // The crop region of a picture: its rectangle less every pixel of the corner pixel's colour.
  static QRegion cropRegion(const QImage& img);

 Q_SIGNALS:
  void OnClick();
  void OnMouseDown();
  void OnMouseUp();
  void OnMouseEnter();
  void OnMouseLeave();
  void OnMouseMove(QPoint pos);

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  void setPicture(int index, const QImage& img);
  int chosenIndex() const;
  // The picture with its corner pixel's colour made transparent.
  static QImage keyedCopy(const QImage& img);
  void setInside(bool in);
  void updateTimer();
  void click();
  void applySize();
  void buildRegion();

  QImage pics_[4];
  QImage keyed_[4];
  bool autoRepeat_ = false;
  int interval_ = 300;
  bool enabled_ = true;
  TPaintMode mode_ = TPaintMode::pmNormal;
  bool inside_ = false;
  bool pressed_ = false;
  bool cropped_ = false;
  QTimer timer_;
};

}  // namespace kelvaro
