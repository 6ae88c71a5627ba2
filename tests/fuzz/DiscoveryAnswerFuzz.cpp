// A discovery datagram from the network, as the search socket hands it over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QHostAddress>

#include "BoxMgr.h"
#include "TransHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));
  static const QHostAddress sender(QStringLiteral("10.77.0.2"));
  CORVANESDK::MEETING_BOX_INFO box;
  const bool isAnswer = BoxMgr::parseAnswer(datagram, sender, &box);
  if (isAnswer && size < static_cast<size_t>(TransHeader::kSize)) std::abort();
  if (!isAnswer) return 0;
  if (box.port != 5625 || box.ip != QLatin1String("10.77.0.2")) std::abort();
  CORVANESDK::BOX_INFO info;
  CORVANESDK::MeetingBoxToBoxInfo(box, info);
  if (info.attrs.size() != static_cast<size_t>(box.attrs.size())) std::abort();
  return 0;
}
