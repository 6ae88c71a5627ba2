#include "ActionStyleBtn.h"

#include "ScreenScale.h"

QActionStyleBtn::QActionStyleBtn(QWidget* parent) : QToolButton(parent) {}

void QActionStyleBtn::setHover(bool hover) {
  m_hover = hover;
  repolishWidget(this);
}

void QActionStyleBtn::setPressed(bool pressed) {
  m_pressed = pressed;
  repolishWidget(this);
}

void QActionStyleBtn::enterEvent(QEvent* event) {
  QToolButton::enterEvent(event);
  setHover(true);
}

void QActionStyleBtn::leaveEvent(QEvent* event) {
  QToolButton::leaveEvent(event);
  setHover(false);
}

void QActionStyleBtn::mousePressEvent(QMouseEvent* event) {
  QToolButton::mousePressEvent(event);
  setPressed(true);
}

void QActionStyleBtn::mouseReleaseEvent(QMouseEvent* event) {
  QToolButton::mouseReleaseEvent(event);
  setPressed(false);
}

void QActionStyleBtn::checkStateSet() {
  QToolButton::checkStateSet();
  repolishWidget(this);
}
