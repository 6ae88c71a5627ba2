#include "EnumWndDlg.h"

#include <QHeaderView>
#include <QStandardItemModel>

#include <platform/QtWin.h>
#include <platform/User.h>

#include <list>

#include "FWMsgBox.h"
#include "ScreenScale.h"
#include "StandardTitleBar.h"
#include "TopWindows.h"
#include "ui_EnumWndDlg.h"

namespace {

constexpr int kTitleChars = 260;
// Per request; our windows answer from their properties at once anyway.
constexpr UINT kIconTimeoutMs = 2000;

HICON WindowIcon(HWND window) {
  for (WPARAM which : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
    ULONG_PTR icon = 0;
    if (SendMessageTimeoutW(window, WM_GETICON, which, 0, SMTO_BLOCK, kIconTimeoutMs, &icon) && icon != 0) {
      return reinterpret_cast<HICON>(icon);
    }
  }
  for (int index : {GCL_HICON, GCL_HICONSM}) {
    if (const ULONG_PTR icon = GetClassLongW(window, index)) return reinterpret_cast<HICON>(icon);
  }
  return nullptr;
}

}  // namespace

CEnumWndDlg::CEnumWndDlg(QWidget* parent)
    : QNoNCDialog(parent, Qt::FramelessWindowHint | Qt::Dialog | Qt::WindowSystemMenuHint, 0),
      ui(new Ui::CEnumWndDlg),
      m_model(new QStandardItemModel(this)) {
  setTitleBar(new StandardTitleBar(this, 1), true);
  auto* central = new QWidget(this);
  setCentralWidget(central, true);
  setRequestFlags(true, false);
  const float scale = screenScale();
  setFixedSize(static_cast<int>(500 * scale), static_cast<int>(400 * scale));
  setWindowTitle(tr("Select the program you want to share"));
  ui->setupUi(central);
  ui->WndList->horizontalHeader()->setStretchLastSection(true);
  ui->WndList->verticalHeader()->hide();
  ui->WndList->setSelectionBehavior(QAbstractItemView::SelectRows);
  fillWndList();
  ui->WndList->setModel(m_model);
  ui->WndList->setColumnWidth(0, width());
  ui->WndList->setFocus();
  connect(ui->WndList, &QTableView::doubleClicked, this, &CEnumWndDlg::slot_doubleClicked);
  connect(ui->startAppShare, &QPushButton::clicked, this, &CEnumWndDlg::StartShare);
  connect(ui->cancelButton, &QPushButton::clicked, this, &CEnumWndDlg::close);
}

CEnumWndDlg::~CEnumWndDlg() { delete ui; }

void CEnumWndDlg::fillWndList() {
  std::list<HWND> windows;
  EnumTopWindows(windows);  // bottom of the stacking order first, as the rows go
  for (HWND window : windows) {
    if (!IsWindowVisible(window)) continue;
    if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) continue;
    if (GetWindowLongW(window, GWL_HWNDPARENT) != 0) continue;  // a dialog of another window
    wchar_t title[kTitleChars] = {};
    GetWindowTextW(window, title, kTitleChars);
    if (title[0] == L'\0') continue;
    auto* item = new QStandardItem(QString::fromWCharArray(title));
    item->setData(QVariant::fromValue<qulonglong>(reinterpret_cast<uintptr_t>(window)), WindowRole);
    // The icon belongs to the window: it is converted, never released.
    if (HICON icon = WindowIcon(window)) {
      const QPixmap pixmap = QtWin::fromHICON(icon);
      if (!pixmap.isNull()) item->setIcon(QIcon(pixmap));
    }
    m_model->appendRow(item);
  }
}

void CEnumWndDlg::StartShare() {
  const QModelIndexList selected = ui->WndList->selectionModel()->selectedIndexes();
  if (!selected.isEmpty()) {
    slot_doubleClicked(selected.first());
    return;
  }
  FWMsgBox::information(this, tr("Tip"), tr("Please select a program you want to share!"), FWMsgBox::Ok, 0, -1);
}

void CEnumWndDlg::slot_doubleClicked(const QModelIndex& index) {
  const QStandardItem* item = m_model->itemFromIndex(index);
  if (item == nullptr) return;
  m_selectedWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(item->data(WindowRole).toULongLong()));
  m_selectedTitle = item->text();
  accept();
}
