#include "platform/qt/QtCursor.h"

#include <QImage>
#include <QPixmap>

#include "platform/Cursor.h"

namespace vx {
namespace {

QRgb Argb(CursorPixel pixel) {
  switch (pixel) {
    case CursorPixel::kWhite: return 0xFFFFFFFF;
    case CursorPixel::kTransparent: return 0x00000000;
    case CursorPixel::kBlack:
    case CursorPixel::kInverted: return 0xFF000000;
  }
  return 0;
}

}  // namespace

QCursor ToQCursor(CursorHandle cursor) {
  std::optional<CursorImage> image = GetCursorImage(cursor);
  if (!image) return QCursor(Qt::ArrowCursor);
  QImage picture(image->width, image->height, QImage::Format_ARGB32);
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) picture.setPixel(x, y, Argb(image->At(x, y)));
  return QCursor(QPixmap::fromImage(picture), image->hotX, image->hotY);
}

}  // namespace vx
