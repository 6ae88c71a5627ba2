// Box discovery: one broadcast request per search, every answer handed to the
// host's callback. No list, no expiry, no de-duplication: the host collects.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include "CorvaneSDK.h"

class QHostAddress;

class BoxMgr : public QObject, public CORVANESDK::IBoxSearch {
  Q_OBJECT

 public:
  static constexpr quint16 kSearchPort = 7525;
  static constexpr quint16 kCommandPort = 5625;

  BoxMgr();

  // A null callback puts the default one (which ignores answers) back.
  void setCallBack(CORVANESDK::IBoxSearchCallBack* cb) override;
  void search() override;

  // False for a datagram that is no answer (shorter than a header, response
  // bit clear). Any body is accepted: one that is not a JSON object, or
  // whose objects repeat a key, gives a box with empty fields.
  static bool parseAnswer(const QByteArray& datagram, const QHostAddress& sender,
                          CORVANESDK::MEETING_BOX_INFO* box);
  // The first IPv4 address of the first interface that can broadcast; "" when
  // there is none.
  static QString getBroadcastNicIp();

  quint16 searchSN() const { return m_searchSN; }

 signals:
  void s_search();

 private slots:
  void slot_search();
  void slot_readyRead();

 private:
  void boxJoin(const CORVANESDK::MEETING_BOX_INFO& box);

  QUdpSocket m_socket;
  quint16 m_searchSN = 1;
  CORVANESDK::IBoxSearchCallBack* m_callBack;
};
