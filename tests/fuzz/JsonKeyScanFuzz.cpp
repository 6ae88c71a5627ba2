// The repeated-key scan on any body a box may send. A text it lets through
// to Qt's parser must keep every key the scan counted: a parser that ends up
// with fewer merged two keys the scan took for different ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "JsonKeyScan.h"

static int CountKeys(const QJsonValue& value) {
  int keys = 0;
  if (value.isObject()) {
    const QJsonObject object = value.toObject();
    keys += object.size();
    for (auto it = object.begin(); it != object.end(); ++it) keys += CountKeys(it.value());
  } else if (value.isArray()) {
    for (const QJsonValue& item : value.toArray()) keys += CountKeys(item);
  }
  return keys;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray text(reinterpret_cast<const char*>(data), static_cast<int>(size));
  int keys = -1;
  if (JsonRepeatsKey(text, &keys)) return 0;  // never shown to the parser
  if (keys < 0) std::abort();
  const QJsonDocument doc = QJsonDocument::fromJson(text);
  if (doc.isNull()) return 0;
  const int parsed = doc.isObject() ? CountKeys(doc.object()) : CountKeys(doc.array());
  if (parsed != keys) std::abort();
  return 0;
}
