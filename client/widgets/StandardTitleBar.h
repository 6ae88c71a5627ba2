// The title bar every window of the client uses: icon, title, a slot for
// extra buttons, and minimize, restore, maximize and close.
#pragma once

#include "TitleBar.h"

namespace Ui {
class standardTitleBar;
}

class StandardTitleBar : public TitleBar {
  Q_OBJECT

 public:
  StandardTitleBar(QWidget* window, int buttonFlags);
  ~StandardTitleBar() override;

  void setTitleIcon(const QPixmap& icon) override;
  void setTitleText(const QString& text) override;
  // Puts a widget into the slot right of the title, before the window buttons.
  void addRightWidget(QWidget* widget);

 private:
  Ui::standardTitleBar* ui;
};
