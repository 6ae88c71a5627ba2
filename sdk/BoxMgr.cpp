#include "BoxMgr.h"

#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkDatagram>
#include <QNetworkInterface>

#include "JsonHelpers.h"
#include "JsonKeyScan.h"
#include "SdkLog.h"
#include "TransHeader.h"

using namespace CORVANESDK;

namespace {

class IgnoreBoxes : public IBoxSearchCallBack {
 public:
  void onBoxJoin(const BOX_INFO&) override {}
};

IgnoreBoxes g_ignoreBoxes;

}  // namespace

// Host-only virtual adapters; their addresses never reach a box.
static bool IsExcludedVirtualNic(const QString& hardwareAddress) {
  return hardwareAddress == QLatin1String("00:50:56:C0:00:01") ||
         hardwareAddress == QLatin1String("00:50:56:C0:00:08");
}

// Without this, a socket bound to any address reports IPv4 senders as
// IPv4-mapped IPv6 text, which is not the dotted text the host expects.
static QString DottedText(const QHostAddress& address) {
  bool isIPv4 = false;
  const quint32 ipv4 = address.toIPv4Address(&isIPv4);
  return isIPv4 ? QHostAddress(ipv4).toString() : address.toString();
}

BoxMgr::BoxMgr() : m_callBack(&g_ignoreBoxes) {
  connect(this, &BoxMgr::s_search, this, &BoxMgr::slot_search);
  connect(&m_socket, &QUdpSocket::readyRead, this, &BoxMgr::slot_readyRead);
}

void BoxMgr::setCallBack(IBoxSearchCallBack* cb) {
  if (!cb) {
    sdkLogWarn("box search callback is null, answers are ignored");
    m_callBack = &g_ignoreBoxes;
    return;
  }
  m_callBack = cb;
}

void BoxMgr::search() { emit s_search(); }

QString BoxMgr::getBroadcastNicIp() {
  const QNetworkInterface::InterfaceFlags wanted = QNetworkInterface::IsUp | QNetworkInterface::IsRunning |
                                                   QNetworkInterface::CanBroadcast |
                                                   QNetworkInterface::CanMulticast;
  for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
    if ((nic.flags() & wanted) != wanted) continue;
    if (nic.flags().testFlag(QNetworkInterface::IsLoopBack)) continue;
    if (IsExcludedVirtualNic(nic.hardwareAddress())) continue;
    for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
      if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
      const QString ip = entry.ip().toString();
      sdkLog("get NIC info! name:%s ip:%s", nic.name().toUtf8().constData(), ip.toUtf8().constData());
      return ip;
    }
  }
  return QString();
}

void BoxMgr::slot_search() {
  m_socket.abort();
  const QString nicIp = getBroadcastNicIp();
  const QHostAddress local = nicIp.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4) : QHostAddress(nicIp);
  if (!m_socket.bind(local, kSearchPort)) sdkLogWarn("Broadcast bind port:%d fail!", kSearchPort);

  const QByteArray request = TransHeader::frame(CVACT_SEARCH, m_searchSN, false, QByteArray());
  const qint64 sent = m_socket.writeDatagram(request, QHostAddress::Broadcast, kSearchPort);
  ++m_searchSN;
  if (sent == request.size()) {
    sdkLog("send broadcast succ!");
    return;
  }
  sdkLog("send broadcast fail %d/%d!", static_cast<int>(sent), static_cast<int>(request.size()));
}

bool BoxMgr::parseAnswer(const QByteArray& datagram, const QHostAddress& sender, MEETING_BOX_INFO* box) {
  if (datagram.size() < TransHeader::kSize) return false;
  // Only the response bit tells an answer from a request such as our own
  // broadcast; the rest of the header is not checked.
  if (!TransHeader::parse(datagram.constData()).response()) return false;
  const QByteArray body = datagram.mid(TransHeader::kSize);
  box->ip = DottedText(sender);
  QMap<QString, QString> attrs;
  // Read like a body that is no JSON: the box is still reported.
  if (JsonRepeatsKey(body))
    sdkLogWarn("answer of %s (%d bytes) repeats a key, read as empty", box->ip.toUtf8().constData(),
               static_cast<int>(body.size()));
  else
    attrs = JsonToStrMap(body);
  box->port = kCommandPort;
  box->dispName = attrs.value(QStringLiteral("DispName"));
  box->boxID = attrs.value(QStringLiteral("BoxID"));
  box->attrs = attrs;
  return true;
}

void BoxMgr::slot_readyRead() {
  // Bounded so that a flood of datagrams cannot hold the host's GUI thread;
  // what is left raises readyRead again.
  constexpr int kMaxPerPass = 256;
  for (int i = 0; i < kMaxPerPass && m_socket.hasPendingDatagrams(); ++i) {
    const QNetworkDatagram datagram = m_socket.receiveDatagram();
    MEETING_BOX_INFO box;
    // A datagram that is no answer is skipped, not a reason to stop reading:
    // answers queued behind it would otherwise wait for the next readyRead.
    if (!parseAnswer(datagram.data(), datagram.senderAddress(), &box)) continue;
    boxJoin(box);
  }
}

void BoxMgr::boxJoin(const MEETING_BOX_INFO& box) {
  sdkLog("box join %s:%s %s:%d ", box.dispName.toUtf8().constData(), box.boxID.toUtf8().constData(),
         box.ip.toUtf8().constData(), box.port);
  BOX_INFO info;
  MeetingBoxToBoxInfo(box, info);
  m_callBack->onBoxJoin(info);
}
