#include "TransCtrlStandIn.h"

#include "CodecSetup.h"
#include "SdkLog.h"

using namespace CORVANESDK;

namespace {

class IgnoreNotifications : public ITransCtrlCallBack {
 public:
  void onNetNfy(NET_NOTIFY, const std::map<std::string, std::string>&) override {}
};

IgnoreNotifications g_ignoreNotifications;

}  // namespace

CTransCtrlStandIn::CTransCtrlStandIn() : m_callBack(&g_ignoreNotifications) {}

void CTransCtrlStandIn::setCallBack(ITransCtrlCallBack* cb) { m_callBack = cb ? cb : &g_ignoreNotifications; }

void CTransCtrlStandIn::setCaptureCfg(const SSCFG& cfg) {
  sdkLog("setCaptureCfg sharer:%d, Backstage:%d, encodetype:%d, width:%d, height:%d", -1, 0, cfg.encodetype,
         cfg.encSize.width(), cfg.encSize.height());
}

void CTransCtrlStandIn::connectBox(const BOX_INFO& box) {
  sdkLogWarn("connectBox %s: no session support in this build", box.ip.c_str());
}

void CTransCtrlStandIn::cancelConnect() { sdkLogWarn("cancelConnect: no session support in this build"); }
void CTransCtrlStandIn::disconnectBox() { sdkLogWarn("disconnectBox: no session support in this build"); }
void CTransCtrlStandIn::startShare() { sdkLogWarn("startShare: no session support in this build"); }
void CTransCtrlStandIn::stopShare() { sdkLogWarn("stopShare: no session support in this build"); }
int CTransCtrlStandIn::getState() { return CVSTATE_IDLE; }
BOX_INFO CTransCtrlStandIn::getCurBox() { return BOX_INFO(); }

void CTransCtrlStandIn::checkConnect(const char*) {
  // The code itself stays out of the log: it grants access to a box.
  sdkLogWarn("checkConnect: no session support in this build");
}

int CTransCtrlStandIn::getIFrameMSecond() { return g_h264EncOpt.iFrameMSecond.load(); }
