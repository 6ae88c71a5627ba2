// A tool button that publishes hover and pressed as properties for the style sheet.
#pragma once

#include <QToolButton>

class QActionStyleBtn : public QToolButton {
  Q_OBJECT
  Q_PROPERTY(bool isHover READ isHover WRITE setHover)
  Q_PROPERTY(bool isPressed READ isPressed WRITE setPressed)

 public:
  explicit QActionStyleBtn(QWidget* parent = nullptr);

  bool isHover() const { return m_hover; }
  bool isPressed() const { return m_pressed; }
  // Re-polish every time, changed or not: a rule may select on the property.
  void setHover(bool hover);
  void setPressed(bool pressed);

 protected:
  void enterEvent(QEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void checkStateSet() override;

 private:
  bool m_hover = false;
  bool m_pressed = false;
};
