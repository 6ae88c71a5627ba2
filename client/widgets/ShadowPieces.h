// Cuts a shadow image and a window into matching pieces: four corners and four
// edges; edges longer than the image's repeat the middle of the image's edge.
#pragma once

#include <QRect>
#include <QVector>

struct ShadowPiece {
  QRect source;  // in the image
  QRect target;  // in the window
};

// Pieces in drawing order: corners top-left, bottom-left, top-right,
// bottom-right, then the left, right, top and bottom edges.
QVector<ShadowPiece> shadowPieces(const QSize& window, const QSize& image, int cornerSize);
