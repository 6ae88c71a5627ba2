// JsonToStrMap on any body a box may send; a map it returns must survive
// being written back and read again with the same keys (unless a key holds
// a lone surrogate, which no writer can keep).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QVariantMap>

#include "JsonHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray text(reinterpret_cast<const char*>(data), static_cast<int>(size));
  const QMap<QString, QString> map = JsonToStrMap(text);
  QVariantMap asVariants;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    if (!it.key().isValidUtf16()) return 0;
    asVariants.insert(it.key(), it.value());
  }
  const QMap<QString, QString> again = JsonToStrMap(VariantToJson(asVariants, 1));
  if (again.keys() != map.keys()) std::abort();
  return 0;
}
