// The command stream splitter on arbitrary bytes. The first input byte picks
// the chunk size; the stream split into chunks must give exactly what the
// whole stream at once gives, and no step may read past what was fed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "TransSplitter.h"

namespace {

struct Event {
  TransSplitter::Step step;
  quint16 sn;
  int act;
  QByteArray body;
  bool operator==(const Event& o) const { return step == o.step && sn == o.sn && act == o.act && body == o.body; }
};

void Drain(TransSplitter* splitter, std::vector<Event>* events) {
  // Each step but NeedMore takes at least a header off the buffer.
  const int bound = splitter->buffered() / TransHeader::kSize * 2 + 2;
  for (int i = 0; i < bound; ++i) {
    const TransSplitter::Step step = splitter->next();
    if (step == TransSplitter::Step::NeedMore) return;
    if (step == TransSplitter::Step::Frame && splitter->body().size() != splitter->header().length) std::abort();
    events->push_back({step, splitter->header().sn, splitter->header().act(),
                       step == TransSplitter::Step::Frame ? splitter->body() : QByteArray()});
  }
  std::abort();  // the splitter never settled
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int chunk = data[0] % 32 + 1;
  const char* stream = reinterpret_cast<const char*>(data + 1);
  const int length = static_cast<int>(size - 1);

  TransSplitter whole;
  std::vector<Event> wholeEvents;
  whole.append(stream, length);
  Drain(&whole, &wholeEvents);

  TransSplitter pieces;
  std::vector<Event> pieceEvents;
  for (int at = 0; at < length; at += chunk) {
    pieces.append(stream + at, std::min(chunk, length - at));
    Drain(&pieces, &pieceEvents);
  }
  if (!(wholeEvents == pieceEvents) || whole.buffered() != pieces.buffered()) std::abort();
  return 0;
}
