// The base of every top-level window of the client: a dialog without the
// system frame that draws its own shadow around a frame styled by object name.
#pragma once

#include <QDialog>
#include <QMargins>
#include <QPixmap>

class QFrame;
class QVBoxLayout;
class TitleBar;
struct TaskbarInfo;

class QNoNCDialog : public QDialog {
  Q_OBJECT

 public:
  explicit QNoNCDialog(QWidget* parent = nullptr,
                       Qt::WindowFlags flags = Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint,
                       int shadowType = 0);

  void setTitleBar(TitleBar* bar, bool relayout = true);
  TitleBar* titleBar() const { return m_titleBar; }
  void setCentralWidget(QWidget* widget, bool relayout = true);
  QWidget* centralWidget() const { return m_centralWidget; }
  QFrame* frame() const { return m_frame; }
  void setRequestFlags(bool rejectEnabled, bool acceptEnabled);
  void setShadowVisible(bool visible);
  bool shadowVisible() const { return m_shadowVisible; }
  void updateShadowMargins();
  void updateFrameStyle();
  // The constructor's flags plus the buttons the title bar offers.
  void updateWindowFlags();

  // Where the taskbar record comes from; tests inject one (null: the system's).
  using TaskbarQuery = void (*)(TaskbarInfo&);
  static void setTaskbarQuery(TaskbarQuery query);

 signals:
  void s_WindowActiveChanged(bool bActived);

 public slots:
  virtual void requestAccept();
  virtual void requestReject();
  virtual void updateLayout();
  virtual QRect maximizeRect();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void applyMaximizedGeometry();
  void updateMask();

  Qt::WindowFlags m_windowFlags;
  bool m_rejectEnabled = false;
  bool m_acceptEnabled = false;
  QFrame* m_frame;
  TitleBar* m_titleBar = nullptr;
  QWidget* m_centralWidget = nullptr;
  int m_cornerSize;
  QPixmap m_shadowImage;
  QVBoxLayout* m_mainLayout;
  bool m_shadowVisible = true;
  QMargins m_shadowMargins;
  int m_shadowType;
  // X11 has no maximize of its own for a frameless window: the geometry to go back to.
  QRect m_normalGeometry;
  bool m_translucent = true;
};
