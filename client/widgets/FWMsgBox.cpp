#include "FWMsgBox.h"

#include <QApplication>
#include <QCursor>
#include <QLayout>
#include <QPushButton>
#include <QScreen>

#include <platform/QtWin.h>
#include <platform/StockIcons.h>

#include "StandardTitleBar.h"
#include "ui_FWMsgBox.h"

namespace {

const char kStandardButton[] = "StandardButton";
const char kLastSecond[] = "LastSecond";

}  // namespace

FWMsgBox::FWMsgBox(QWidget* parent, const QString& title, const QString& text, int buttons)
    : QNoNCDialog(parent, Qt::FramelessWindowHint | Qt::Dialog | Qt::WindowSystemMenuHint), ui(new Ui::FWMsgBox) {
  setTitleBar(new StandardTitleBar(this, TitleBar::CloseFlag), true);
  auto* central = new QWidget(this);
  ui->setupUi(central);
  setCentralWidget(central, true);
  ui->FWMsg_label->setContentsMargins(2, 0, 0, 0);
  // Messages embed what boxes report (their names); as plain text the label
  // holds no link that a click could open and draws no picture.
  ui->FWMsg_label->setTextFormat(Qt::PlainText);
  ui->checkBox->hide();
  ui->FWMsg_label->setText(text);
  setWindowTitle(title);
  adjustSize();
  addButtons(buttons);
  setCheckBox(QString(), false);
  m_remaining = 0;
  connect(&m_countDown, &QTimer::timeout, this, &FWMsgBox::slot_countDown);
}

FWMsgBox::~FWMsgBox() { delete ui; }

void FWMsgBox::setIconType(int type) {
  LPCWSTR id = nullptr;
  switch (type) {
    case Information: id = IDI_INFORMATION; break;
    case Warning: id = IDI_WARNING; break;
    case Error: id = IDI_ERROR; break;
    case Question: id = IDI_QUESTION; break;
    default: break;
  }
  ui->FWMsg_icon->setVisible(id != nullptr);
  if (id != nullptr) ui->FWMsg_icon->setPixmap(QtWin::fromHICON(LoadIconW(nullptr, id)));
}

void FWMsgBox::setCheckBox(const QString& text, bool checked) {
  ui->checkBox->setVisible(!text.isEmpty());
  ui->checkBox->setText(text);
  ui->checkBox->setChecked(checked);
  // Without a check box the buttons sit centred between two expanding spaces.
  ui->trailingSpacer->changeSize(0, 0, text.isEmpty() ? QSizePolicy::Expanding : QSizePolicy::Minimum,
                                 QSizePolicy::Minimum);
  ui->frameBtnLayout->invalidate();
}

void FWMsgBox::addButtons(int mask) {
  for (int bit = 0; bit < 32; ++bit) {
    const unsigned value = 1u << bit;
    if (static_cast<unsigned>(mask) & value) addButton(static_cast<int>(value));
  }
}

void FWMsgBox::addButton(int kind) {
  QString text;
  switch (kind) {
    case Ok: text = tr("Ok"); break;
    case Yes: text = tr("Yes"); break;
    case No: text = tr("No"); break;
    case Close: text = tr("Close"); break;
    case Cancel: text = tr("Cancel"); break;
    default: return;
  }
  auto* button = new QPushButton(this);
  button->setText(text);
  button->setProperty(kStandardButton, kind);
  ui->buttonRow->addWidget(button);
  connect(button, &QPushButton::clicked, this, &FWMsgBox::slot_btnClicked);
}

void FWMsgBox::setDefaultButton(int kind, int seconds) { setDefaultButton(button(kind), seconds); }

void FWMsgBox::setDefaultButton(QAbstractButton* button, int seconds) {
  if (m_defaultButton) updateCountDownText(m_defaultButton, -1);
  m_defaultButton = button;
  if (m_defaultButton) m_defaultButton->setFocus();
  m_countDown.stop();
  m_remaining = seconds;
  if (!m_defaultButton || seconds < 0) return;
  m_countDown.start(m_countDownInterval);
  updateCountDownText(m_defaultButton, seconds);
}

QAbstractButton* FWMsgBox::button(int kind) const {
  if (kind == 0) return nullptr;
  for (QWidget* widget : buttons()) {
    const QVariant value = widget->property(kStandardButton);
    if (value.isValid() && value.toInt() == kind) return qobject_cast<QAbstractButton*>(widget);
  }
  return nullptr;
}

QList<QWidget*> FWMsgBox::buttons() const {
  QList<QWidget*> list;
  for (int i = 0; i < ui->buttonRow->count(); ++i) list << ui->buttonRow->itemAt(i)->widget();
  return list;
}

int FWMsgBox::standardButton(QAbstractButton* button) const {
  if (!buttons().contains(button)) return 0;
  return button->property(kStandardButton).toInt();
}

void FWMsgBox::slot_btnClicked() {
  auto* clicked = qobject_cast<QAbstractButton*>(sender());
  if (!clicked) return;
  emit buttonClicked(this, clicked);
  done(standardButton(clicked));
}

void FWMsgBox::slot_countDown() {
  if (m_remaining > 0) --m_remaining;
  if (m_remaining <= 0) m_countDown.stop();
  if (!m_defaultButton) return;
  updateCountDownText(m_defaultButton, m_remaining);
  if (m_remaining <= 0) m_defaultButton->click();
}

void FWMsgBox::accept() {
  if (auto* focused = qobject_cast<QAbstractButton*>(focusWidget())) {
    focused->click();
    return;
  }
  if (m_defaultButton) m_defaultButton->click();
}

void FWMsgBox::reject() {
  const QList<QWidget*> row = buttons();
  QAbstractButton* target = row.size() == 1 ? qobject_cast<QAbstractButton*>(row.front()) : nullptr;
  for (int kind : {Cancel, Close, No}) {
    if (target) break;
    target = button(kind);
  }
  // No way out: the box stays open until one of its buttons is clicked.
  if (target) target->click();
}

void FWMsgBox::closeEvent(QCloseEvent* event) { QNoNCDialog::closeEvent(event); }

void FWMsgBox::showEvent(QShowEvent* event) {
  fitToContent();
  QNoNCDialog::showEvent(event);
}

void FWMsgBox::fitToContent() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const int limit = std::min(600, screen != nullptr ? screen->availableGeometry().width() / 2 : 600);
  QLayout* box = layout();
  ui->FWMsg_label->setWordWrap(false);
  box->activate();
  int width = box->totalMinimumSize().width();
  if (width > limit) {
    ui->FWMsg_label->setWordWrap(true);
    width = limit;
  }
  box->activate();
  const int height = box->hasHeightForWidth() ? box->totalHeightForWidth(width) : box->totalMinimumSize().height();
  setFixedSize(width, height);
  // A relayout still queued would undo the fixed size.
  QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
}

void FWMsgBox::updateCountDownText(QAbstractButton* button, int n) {
  if (!button) return;
  const int old = button->property(kLastSecond).toInt();
  const QString suffix = old > 0 ? QStringLiteral(" (%1)").arg(old) : QString();
  QString text = button->text();
  if (!suffix.isEmpty() && text.endsWith(suffix)) text.chop(suffix.size());
  button->setProperty(kLastSecond, n);
  if (n > 0) text += QStringLiteral(" (%1)").arg(n);
  button->setText(text);
}

int FWMsgBox::showMessageBox(QWidget* parent, int iconType, const QString& title, const QString& text, int buttons,
                             int defaultButton, int seconds) {
  FWMsgBox box(parent, title, text, buttons);
  box.setIconType(iconType);
  box.setDefaultButton(defaultButton, seconds);
  return box.exec();
}

int FWMsgBox::information(QWidget* parent, const QString& title, const QString& text, int buttons, int defaultButton,
                          int seconds) {
  return showMessageBox(parent, Information, title, text, buttons, defaultButton, seconds);
}

int FWMsgBox::question(QWidget* parent, const QString& title, const QString& text, int buttons, int defaultButton,
                       int seconds) {
  return showMessageBox(parent, Question, title, text, buttons, defaultButton, seconds);
}
