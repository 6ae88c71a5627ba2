// The About window: product icon, name, installed version and Ok.
#pragma once

#include "NoNCDialog.h"

class QLabel;
class QPushButton;

class DlgAbout : public QNoNCDialog {
  Q_OBJECT

 public:
  // The one dialog, made with that parent on the first call.
  static DlgAbout* instance(QWidget* parent);
  explicit DlgAbout(QWidget* parent);

  QLabel* productName() const { return lbProductName_; }
  QLabel* versionLabel() const { return lbVer_; }
  QPushButton* okButton() const { return btnOk_; }

 private:
  QLabel* lbPic_;
  QLabel* lbProductName_;
  QLabel* lbVer_;
  QPushButton* btnOk_;
};
