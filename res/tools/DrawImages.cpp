// Draws the client's images into a folder: the shadow of the frameless
// windows, the title-bar buttons in their three states and the program icons.
// Run at build time; the resource file takes them from the folder.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

const QColor kGlyph(255, 255, 255);
const QColor kBlue(0x2d, 0x7b, 0xe5);

// A straight-alpha black shadow around a rounded rectangle inset by the margin,
// fading out over the margin; under the rectangle it keeps its full strength.
QImage Shadow() {
  constexpr int kSize = 64, kMargin = 8, kRadius = 4, kAlpha = 70;
  QImage image(kSize, kSize, QImage::Format_ARGB32);
  const QRectF inner(kMargin + kRadius, kMargin + kRadius, kSize - 2 * (kMargin + kRadius),
                     kSize - 2 * (kMargin + kRadius));
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      const double dx = std::max({inner.left() - cx, 0.0, cx - inner.right()});
      const double dy = std::max({inner.top() - cy, 0.0, cy - inner.bottom()});
      const double outside = std::hypot(dx, dy) - kRadius;
      double alpha = kAlpha;
      if (outside >= kMargin) alpha = 0;
      else if (outside > 0) alpha = kAlpha * std::pow(1.0 - outside / kMargin, 2.0);
      image.setPixel(x, y, qRgba(0, 0, 0, qRound(alpha)));
    }
  }
  return image;
}

enum class State { Normal, Hover, Pressed };

QImage Button(const std::function<void(QPainter&)>& glyph, State state, bool danger) {
  QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  if (state != State::Normal) {
    QColor back = danger ? QColor(0xe8, 0x11, 0x23) : QColor(255, 255, 255, 48);
    if (state == State::Pressed) back = danger ? QColor(0xa3, 0x0c, 0x19) : QColor(0, 0, 0, 48);
    painter.fillRect(image.rect(), back);
  }
  painter.setPen(QPen(kGlyph, 1.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  glyph(painter);
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

void Minimize(QPainter& p) { p.drawLine(QPointF(14.5, 20.5), QPointF(25.5, 20.5)); }
void Maximize(QPainter& p) { p.drawRect(QRectF(14.5, 14.5, 11, 11)); }
void Restore(QPainter& p) {
  p.drawRect(QRectF(14.5, 17.5, 8, 8));
  p.drawPolyline(QPolygonF({QPointF(17.5, 17.5), QPointF(17.5, 14.5), QPointF(25.5, 14.5), QPointF(25.5, 22.5),
                            QPointF(22.5, 22.5)}));
}
void Close(QPainter& p) {
  p.drawLine(QPointF(14.5, 14.5), QPointF(25.5, 25.5));
  p.drawLine(QPointF(25.5, 14.5), QPointF(14.5, 25.5));
}
void About(QPainter& p) {
  p.drawEllipse(QPointF(20, 20), 7, 7);
  p.drawLine(QPointF(20, 19), QPointF(20, 24));
  p.drawPoint(QPointF(20, 16.5));
}
// Three bars: the window's own menu, for desktops without a tray.
void Menu(QPainter& p) {
  for (qreal y : {15.5, 20.5, 25.5}) p.drawLine(QPointF(14.5, y), QPointF(25.5, y));
}

// Drawn on a 64-unit grid at 128 pixels: About shows it at 96.
QImage AppIcon() {
  QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(2, 2);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kBlue);
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(QRectF(13, 15, 38, 26), 3, 3);
  painter.drawLine(QPointF(24, 49), QPointF(40, 49));
  painter.drawLine(QPointF(32, 41), QPointF(32, 49));
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

QImage MenuIcon(const QColor& color, const std::function<void(QPainter&)>& glyph) {
  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  glyph(painter);
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

bool Save(const QDir& folder, const QString& name, const QImage& image) {
  const QString path = folder.filePath(name);
  if (!QDir().mkpath(QFileInfo(path).path()) || !image.save(path, "PNG")) {
    std::fprintf(stderr, "DrawImages: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Raster drawing without text needs no application object and no window system.
  if (argc != 2) {
    std::fprintf(stderr, "usage: DrawImages <folder>\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  bool ok = Save(folder, "new/shadow_round.png", Shadow());
  const struct {
    const char* name;
    void (*glyph)(QPainter&);
    bool danger;
  } buttons[] = {{"min", Minimize, false}, {"restore", Restore, false}, {"max", Maximize, false},
                 {"close", Close, true},   {"about", About, false},
                 {"menu", Menu, false}};
  for (const auto& button : buttons) {
    const QString base = QStringLiteral("new/title_%1").arg(QLatin1String(button.name));
    ok &= Save(folder, base + ".png", Button(button.glyph, State::Normal, button.danger));
    ok &= Save(folder, base + "_hover.png", Button(button.glyph, State::Hover, button.danger));
    ok &= Save(folder, base + "_pressed.png", Button(button.glyph, State::Pressed, button.danger));
  }
  ok &= Save(folder, "App.png", AppIcon());
  ok &= Save(folder, "action_about.png", MenuIcon(kBlue, [](QPainter& p) {
               p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
               p.drawLine(QPointF(8, 7), QPointF(8, 11.5));
               p.drawPoint(QPointF(8, 4.5));
             }));
  ok &= Save(folder, "action_exit.png", MenuIcon(QColor(0xd9, 0x32, 0x2b), [](QPainter& p) {
               p.drawArc(QRectF(2.5, 3, 11, 11), 120 * 16, 300 * 16);
               p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
             }));
  return ok ? 0 : 1;
}
