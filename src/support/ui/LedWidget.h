#pragma once
// The three LED pictures (off, on, fault) from the program's resources, and a
// small label that shows one of them.

#include <QLabel>
#include <QPixmap>
#include <QString>

namespace tuvik {

struct LedPictures {
    QPixmap LedGrey;   // off
    QPixmap LedGreen;  // on
    QPixmap LedRed;    // fault
};

// The picture of an LED resource by name: "GREY", "GREEN" or "RED", in any
// case. An unknown name gives a null picture.
QPixmap LedPicture(const QString& name);
// All three, in the order grey, green, red.
LedPictures LoadLedPictures();
// Decodes the bytes of an image (PNG, GIF, ...); null when they are no image.
QPixmap PictureFromBytes(const QByteArray& bytes);

// A fixed 16 x 16 label showing an LED picture.
class LedWidget : public QLabel {
    Q_OBJECT
  public:
    explicit LedWidget(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    // The picture shown last; null before the first one.
    const QPixmap& picture() const { return picture_; }

  private:
    QPixmap picture_;
};

}  // namespace tuvik
