// The client's modal message box: icon, text, standard buttons and an
// optional count-down that clicks the default button.
#pragma once

#include <QTimer>

#include "NoNCDialog.h"

class QAbstractButton;

namespace Ui {
class FWMsgBox;
}

class FWMsgBox : public QNoNCDialog {
  Q_OBJECT

 public:
  // Standard button kinds; a mask combines them.
  enum { Ok = 1, Yes = 2, No = 4, Close = 8, Cancel = 16 };
  // Icon types of setIconType.
  enum { NoIcon = 0, Information = 1, Warning = 2, Error = 3, Question = 4 };

  FWMsgBox(QWidget* parent, const QString& title, const QString& text, int buttons);
  ~FWMsgBox() override;

  void setIconType(int type);
  void setCheckBox(const QString& text, bool checked);
  void addButtons(int mask);
  void addButton(int kind);
  void setDefaultButton(int kind, int seconds);
  void setDefaultButton(QAbstractButton* button, int seconds);
  QAbstractButton* button(int kind) const;
  QList<QWidget*> buttons() const;
  int standardButton(QAbstractButton* button) const;
  // Fixes the size to the content, wrapping a text wider than the limit.
  void fitToContent();

  // Returns the kind of the button that ended the box, 0 if it ended otherwise.
  static int showMessageBox(QWidget* parent, int iconType, const QString& title, const QString& text, int buttons,
                            int defaultButton, int seconds);
  static int information(QWidget* parent, const QString& title, const QString& text, int buttons = Ok,
                         int defaultButton = 0, int seconds = -1);
  static int question(QWidget* parent, const QString& title, const QString& text, int buttons = Yes | No,
                      int defaultButton = Yes, int seconds = -1);

  // Shortens the count-down step; for tests only.
  void setCountDownIntervalForTest(int milliseconds) { m_countDownInterval = milliseconds; }

 signals:
  void buttonClicked(QWidget* pMsgBox, QAbstractButton* button);

 public slots:
  void slot_btnClicked();
  void slot_countDown();
  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void updateCountDownText(QAbstractButton* button, int n);

  Ui::FWMsgBox* ui;
  QAbstractButton* m_defaultButton = nullptr;
  QTimer m_countDown;
  int m_countDownInterval = 1000;
  int m_remaining = 0;
};
