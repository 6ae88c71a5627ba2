// The cast SDK's public interface: what a host sees of libCorvane_SDK.so.
// Compiles in a host that has only Qt Core besides this header.
#pragma once

#include <list>
#include <map>
#include <set>
#include <string>

#include <QMap>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include "FWInterfaces.h"

// An X window id; the platform layer declares the same type.
struct HWND__;
typedef HWND__* HWND;

#define CORVANESDK_EXPORT __attribute__((visibility("default")))

namespace CORVANESDK {

// A box as the host and the SDK's interface exchange it; strings are UTF-8.
struct BOX_INFO {
  std::string boxID;
  quint16 port = 0;
  std::string ip;
  std::map<std::string, std::string> attrs;
  std::string dispName;
};

// The same box inside the SDK and the host's Qt code, where it travels through
// queued signals.
struct MEETING_BOX_INFO {
  QString boxID;
  quint16 port = 0;
  QString ip;
  QMap<QString, QString> attrs;
  QString dispName;
};

// A capture rectangle in screen coordinates: origin and size, not two corners.
struct SSRECT {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Capture settings the host hands to ITransCtrl::setCaptureCfg.
struct SSCFG {
  SSCFG() { reset(); }
  void reset() {
    monitorID = -1;
    encodetype = 0;
    catchRt.clear();
    catchWnd.clear();
    catchWndPro.clear();
    cursorType = 0;
    fps = 12;
    kbps = 2000;
    encSize = QSize(-1, -1);
    h264crf = 22;
    extParam1 = 70;
    extParam2 = 90;
  }

  int monitorID;
  int encodetype;  // only logged
  std::list<SSRECT> catchRt;
  std::set<HWND> catchWnd;
  std::set<HWND> catchWndPro;  // windows whose owning processes are captured
  int cursorType;              // 0: position travels beside the picture, 1: drawn in
  int fps;
  int kbps;
  QSize encSize;  // not positive: the screen's size
  int h264crf;
  int extParam1;
  int extParam2;
};

enum NET_NOTIFY {
  CVNTY_CONNECT_FAILED = 1,
  CVNTY_NEED_UPDATE = 2,
  CVNTY_BOX_BUSY = 3,
  CVNTY_CONNCODE_FAILED = 4,
  CVNTY_SHARE_REFUSED = 5,
  CVNTY_UNREACHABLE = 7,
  CVNTY_NEED_CONNCODE = 8,
  CVNTY_CONNECTED = 9,
  CVNTY_SHARE_STARTED = 10,
  CVNTY_SHARE_FAILED = 11,
  CVNTY_SHARE_STOPPED = 12,
  CVNTY_BOX_STOPPED_SHARE = 13,
  CVNTY_DISCONNECTED = 14,
  CVNTY_ENC_PARAM_CHANGED = 16,
};

// The reasons the SDK adds to the box's own (0, 1, 2, 3, 16, 17).
enum CV_REASON {
  CVRSN_OTHER_CONNECTED = 64,
  CVRSN_CONNCODE_ERROR = 65,
  CVRSN_CONNECT_FAILED = 66,
  CVRSN_CONNECTION_LOST = 67,
};

enum TRANS_STATE {
  CVSTATE_IDLE = 0,
  CVSTATE_CONNECTING = 1,  // TCP connect under way
  CVSTATE_REQUESTING = 2,  // connect request sent
  CVSTATE_WAIT_CONNCODE = 3,
  CVSTATE_CONNECTED = 4,
  CVSTATE_SHARE_STARTING = 5,
  CVSTATE_SHARING = 6,
  CVSTATE_SHARE_PAUSED = 7,
  CVSTATE_SHARE_STOPPING = 8,
};

// The interfaces below are never deleted through: each object stays its
// maker's. Their destructors are protected and not virtual, so the table of
// functions the other side calls is what it always was.
class ICorvaneSDK {
 public:
  // Result bits: 1 when log is null, 2 when cfg is null.
  virtual int init(FWlogger* log, FWCfgger* cfg) = 0;
  virtual void uninit() = 0;
  // "a.b.c.d" of the running executable; "" when it carries no version.
  virtual const char* getVersion() = 0;

 protected:
  ~ICorvaneSDK() = default;
};

class IBoxSearchCallBack {
 public:
  // Once per answer, on the thread that owns the search engine; box is valid
  // only during the call.
  virtual void onBoxJoin(const BOX_INFO& box) = 0;

 protected:
  ~IBoxSearchCallBack() = default;
};

class IBoxSearch {
 public:
  virtual void setCallBack(IBoxSearchCallBack* cb) = 0;
  virtual void search() = 0;

 protected:
  ~IBoxSearch() = default;
};

class ITransCtrlCallBack {
 public:
  // Called on the SDK's protocol thread; params is valid only during the call.
  virtual void onNetNfy(NET_NOTIFY nty, const std::map<std::string, std::string>& params) = 0;

 protected:
  ~ITransCtrlCallBack() = default;
};

class ITransCtrl {
 public:
  virtual void setCallBack(ITransCtrlCallBack* cb) = 0;
  virtual void setCaptureCfg(const SSCFG& cfg) = 0;
  virtual void connectBox(const BOX_INFO& box) = 0;
  virtual void cancelConnect() = 0;
  virtual void disconnectBox() = 0;
  virtual void startShare() = 0;
  virtual void stopShare() = 0;
  virtual int getState() = 0;  // a TRANS_STATE
  virtual BOX_INFO getCurBox() = 0;
  virtual void checkConnect(const char* code) = 0;
  virtual int getIFrameMSecond() = 0;

 protected:
  ~ITransCtrl() = default;
};

// Each returns the one object of its kind, created on the first call.
CORVANESDK_EXPORT ICorvaneSDK& GetCorvaneSDK();
CORVANESDK_EXPORT IBoxSearch& GetBoxSearchEngine();
CORVANESDK_EXPORT ITransCtrl& GetTransCtrlEngine();

// Inline so that the host and the SDK convert with the same code.
inline void MeetingBoxToBoxInfo(const MEETING_BOX_INFO& from, BOX_INFO& to) {
  to.boxID = from.boxID.toUtf8().toStdString();
  to.port = from.port;
  to.ip = from.ip.toUtf8().toStdString();
  to.attrs.clear();
  for (auto it = from.attrs.cbegin(); it != from.attrs.cend(); ++it)
    to.attrs[it.key().toUtf8().toStdString()] = it.value().toUtf8().toStdString();
  to.dispName = from.dispName.toUtf8().toStdString();
}

inline void BoxInfoToMeetingBox(const BOX_INFO& from, MEETING_BOX_INFO& to) {
  to.boxID = QString::fromStdString(from.boxID);
  to.port = from.port;
  to.ip = QString::fromStdString(from.ip);
  to.attrs.clear();
  for (const auto& pair : from.attrs) to.attrs.insert(QString::fromStdString(pair.first), QString::fromStdString(pair.second));
  to.dispName = QString::fromStdString(from.dispName);
}

}  // namespace CORVANESDK

Q_DECLARE_METATYPE(CORVANESDK::MEETING_BOX_INFO)
Q_DECLARE_METATYPE(CORVANESDK::SSCFG)
