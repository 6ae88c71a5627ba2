// The process-wide scale factor of windows and style sheets, designed at 96 DPI.
#pragma once

#include <QString>

class QWidget;

// With enable, the factor becomes the screen's DPI / 96; it stays 1.0 otherwise.
// Called once during start-up, before any window exists.
void initScreenScale(bool enable);
float screenScale();
// Replaces every "<number>px*SCREENSCALE" with the scaled whole number of pixels.
QString scaleStyleSheet(const QString& styleSheet);
// Makes style-sheet rules that select on the widget's properties apply now.
void repolishWidget(QWidget* widget);

// The factor as start-up would leave it; for tests only.
void setScreenScaleForTest(float factor);
