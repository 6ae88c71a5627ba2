// The library's three entry points. Each object is made on the first call,
// on the caller's thread (the host's GUI thread), and lives until unload.
#include "BoxMgr.h"
#include "CorvaneSDK.h"
#include "CorvaneSDKImpl.h"
#include "TransCtrl.h"

namespace CORVANESDK {

ICorvaneSDK& GetCorvaneSDK() {
  static CCorvaneSDKImpl sdk;
  return sdk;
}

IBoxSearch& GetBoxSearchEngine() {
  static BoxMgr boxMgr;
  return boxMgr;
}

ITransCtrl& GetTransCtrlEngine() {
  static CTransCtrl transCtrl;
  return transCtrl;
}

}  // namespace CORVANESDK
