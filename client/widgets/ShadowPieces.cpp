#include "ShadowPieces.h"

#include <map>

namespace {

// Width of the strip from the middle of the image's edge that fills the extra length.
constexpr int kTileLength = 10;

enum Key { TopLeft, BottomLeft, TopRight, BottomRight, Left, Right, Top, Bottom };

using Pieces = std::map<int, QVector<QRect>>;

void AddNine(Pieces& pieces, const QSize& size, int c) {
  const int w = size.width(), h = size.height();
  pieces[TopLeft] = {QRect(0, 0, c, c)};
  pieces[BottomLeft] = {QRect(0, h - c, c, c)};
  pieces[TopRight] = {QRect(w - c, 0, c, c)};
  pieces[BottomRight] = {QRect(w - c, h - c, c, c)};
  pieces[Left] = {QRect(0, c, c, h - 2 * c)};
  pieces[Right] = {QRect(w - c, c, c, h - 2 * c)};
  pieces[Top] = {QRect(c, 0, w - 2 * c, c)};
  pieces[Bottom] = {QRect(c, h - c, w - 2 * c, c)};
}

// One edge along an axis: begin is where it starts along the axis, across
// where it lies across it; the thickness is the corner size.
QRect Span(bool horizontal, int begin, int length, int across, int c) {
  return horizontal ? QRect(begin, across, length, c) : QRect(across, begin, c, length);
}

// Rebuilds the edges of key when the window's edge (target) and the image's
// (source) differ in length.
void FitEdge(Pieces& source, Pieces& target, int key, bool horizontal, int c) {
  const QRect s = source[key].front();
  const QRect t = target[key].front();
  const int sourceLength = horizontal ? s.width() : s.height();
  const int targetLength = horizontal ? t.width() : t.height();
  const int sourceAcross = horizontal ? s.y() : s.x();
  const int targetAcross = horizontal ? t.y() : t.x();
  if (sourceLength == targetLength || sourceLength <= 0 || targetLength <= 0) return;
  QVector<QRect>& src = source[key];
  QVector<QRect>& dst = target[key];
  src.clear();
  dst.clear();
  const int d = std::abs(targetLength - sourceLength);
  if (targetLength > sourceLength) {
    const int half = sourceLength / 2;
    src << Span(horizontal, c, half, sourceAcross, c) << Span(horizontal, c + half, sourceLength - half, sourceAcross, c);
    dst << Span(horizontal, c, half, targetAcross, c)
        << Span(horizontal, c + half + d, sourceLength - half, targetAcross, c);
    // The last tile may be shorter; it still takes the whole strip.
    const QRect strip = Span(horizontal, c + (sourceLength - kTileLength) / 2, std::min(kTileLength, sourceLength),
                             sourceAcross, c);
    for (int offset = 0; offset < d; offset += kTileLength) {
      src << strip;
      dst << Span(horizontal, c + half + offset, std::min(kTileLength, d - offset), targetAcross, c);
    }
    return;
  }
  const int half = targetLength / 2;
  src << Span(horizontal, c, half, sourceAcross, c) << Span(horizontal, c + half + d, targetLength - half, sourceAcross, c);
  dst << Span(horizontal, c, half, targetAcross, c) << Span(horizontal, c + half, targetLength - half, targetAcross, c);
}

}  // namespace

QVector<ShadowPiece> shadowPieces(const QSize& window, const QSize& image, int cornerSize) {
  Pieces source, target;
  AddNine(source, image, cornerSize);
  AddNine(target, window, cornerSize);
  FitEdge(source, target, Top, true, cornerSize);
  FitEdge(source, target, Bottom, true, cornerSize);
  FitEdge(source, target, Left, false, cornerSize);
  FitEdge(source, target, Right, false, cornerSize);
  QVector<ShadowPiece> pieces;
  for (auto& [key, list] : target) {
    const QVector<QRect>& from = source[key];
    if (from.size() != list.size()) continue;
    for (int i = 0; i < list.size(); ++i) {
      // A window smaller than two corners has no room for its edges.
      if (list[i].isEmpty() || from[i].isEmpty()) continue;
      pieces.push_back({from[i], list[i]});
    }
  }
  return pieces;
}
