// The window chooser: lists the applications the user can share, with their
// icons, and hands the chosen window back to the sharing page.
#pragma once

#include <QString>

#include <platform/Win32Types.h>

#include "NoNCDialog.h"

class QModelIndex;
class QStandardItemModel;

namespace Ui {
class CEnumWndDlg;
}

class CEnumWndDlg : public QNoNCDialog {
  Q_OBJECT

 public:
  // The role that carries a row's window handle.
  enum { WindowRole = Qt::UserRole + 1 };

  explicit CEnumWndDlg(QWidget* parent = nullptr);
  ~CEnumWndDlg() override;

  // Meaningful after exec() returned accepted.
  HWND selectedWnd() const { return m_selectedWnd; }
  QString selectedTitle() const { return m_selectedTitle; }
  QStandardItemModel* model() const { return m_model; }

 public slots:
  void StartShare();
  void slot_doubleClicked(const QModelIndex& index);

 private:
  void fillWndList();

  Ui::CEnumWndDlg* ui;
  QStandardItemModel* m_model;
  HWND m_selectedWnd = nullptr;
  QString m_selectedTitle;
};
