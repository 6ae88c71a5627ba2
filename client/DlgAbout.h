// The About window: product icon, name, installed version and Ok.
#pragma once

#include "NoNCDialog.h"

class QLabel;
class QPushButton;

namespace Ui {
class DlgAbout;
}

class DlgAbout : public QNoNCDialog {
  Q_OBJECT

 public:
  // The one dialog, made with that parent on the first call.
  static DlgAbout* instance(QWidget* parent);
  explicit DlgAbout(QWidget* parent);
  ~DlgAbout() override;

  QLabel* productName() const;
  QLabel* versionLabel() const;
  QPushButton* okButton() const;

 private:
  Ui::DlgAbout* ui;
};
