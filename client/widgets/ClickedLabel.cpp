#include "ClickedLabel.h"

QClickedLabel::QClickedLabel(QWidget* parent) : QLabel(parent) {}

void QClickedLabel::mouseReleaseEvent(QMouseEvent*) { emit clicked(this); }

void QClickedLabel::mouseDoubleClickEvent(QMouseEvent*) { emit doubleClick(this); }
