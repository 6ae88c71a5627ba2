#include "StandardTitleBar.h"

#include "ui_StandardTitleBar.h"

StandardTitleBar::StandardTitleBar(QWidget* window, int buttonFlags)
    : TitleBar(window, buttonFlags), ui(new Ui::standardTitleBar) {
  ui->setupUi(this);
  ui->titleIcon->hide();
  // A title is a window title: the pages put box names into it.
  ui->titleText->setTextFormat(Qt::PlainText);
  for (QAbstractButton* button : {static_cast<QAbstractButton*>(ui->titleMinBtn), static_cast<QAbstractButton*>(ui->titleRestoreBtn),
                                  static_cast<QAbstractButton*>(ui->titleMaxBtn), static_cast<QAbstractButton*>(ui->titleCloseBtn)}) {
    button->setFocusPolicy(Qt::NoFocus);
  }
  setButtons(ui->titleCloseBtn, ui->titleMinBtn, ui->titleRestoreBtn, ui->titleMaxBtn);
}

StandardTitleBar::~StandardTitleBar() { delete ui; }

void StandardTitleBar::setTitleIcon(const QPixmap& icon) {
  ui->titleIcon->setVisible(!icon.isNull());
  ui->titleIcon->setMaximumWidth(icon.width());
  ui->titleIcon->setPixmap(icon);
}

void StandardTitleBar::setTitleText(const QString& text) { ui->titleText->setText(text); }

void StandardTitleBar::addRightWidget(QWidget* widget) { ui->rexBtnsLayout->addWidget(widget, 0, Qt::AlignTop); }
