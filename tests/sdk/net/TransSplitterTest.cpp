#include "TransSplitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SimFrame.h"
#include "RowName.h"

namespace {

// One observable outcome of the splitter: a message, a dropped header, or
// the header of a body that is read past.
struct Event {
  bool bad = false;
  quint16 sn = 0;
  int act = 0;
  bool response = false;
  QByteArray body;
  bool oversized = false;
  bool operator==(const Event& o) const {
    return bad == o.bad && sn == o.sn && act == o.act && response == o.response && body == o.body &&
           oversized == o.oversized;
  }
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
  if (e.bad) return os << "BadHeader";
  if (e.oversized) return os << "Oversized{act=" << e.act << "}";
  return os << "Frame{sn=" << e.sn << " act=" << e.act << " rsp=" << e.response << " body=\""
            << e.body.toStdString() << "\"}";
}

Event FrameEvent(quint16 sn, int act, bool response, const QByteArray& body) {
  return Event{false, sn, act, response, body};
}

Event BadEvent() { return Event{true, 0, 0, false, {}, false}; }
Event OversizedEvent(int act) { return Event{false, 0, act, false, {}, true}; }

QByteArray Encoded(const Event& e) { return SimFrame{e.sn, e.act, e.response, e.body}.encode(); }

// Takes every step the buffered bytes allow. Each step but NeedMore consumes
// at least a header, so the bound is never reached by a working splitter.
void Drain(TransSplitter* splitter, std::vector<Event>* events, int* headers) {
  const int bound = splitter->buffered() / TransHeader::kSize * 2 + 2;
  for (int i = 0; i < bound; ++i) {
    switch (splitter->next()) {
      case TransSplitter::Step::NeedMore:
        return;
      case TransSplitter::Step::Header:
        ++*headers;
        break;
      case TransSplitter::Step::BadHeader:
        events->push_back(BadEvent());
        break;
      case TransSplitter::Step::Oversized:
        events->push_back(OversizedEvent(splitter->header().act()));
        break;
      case TransSplitter::Step::Frame: {
        const TransHeader& h = splitter->header();
        events->push_back(FrameEvent(h.sn, h.act(), h.response(), splitter->body()));
        break;
      }
    }
  }
  ADD_FAILURE() << "splitter did not settle within " << bound << " steps";
}

struct StreamCase {
  const char* name;
  QByteArray stream;
  std::vector<Event> expected;
};

std::vector<StreamCase> StreamCases() {
  const Event connect = FrameEvent(1, 2, false, R"({"CanPass":1,"Platform":0,"Version":"1.0.0.1"})");
  const Event heartbeat = FrameEvent(9, 8, true, {});
  const Event encParam = FrameEvent(0xBEEF, 84, false, QByteArray(300, 'p'));
  const Event emptyObject = FrameEvent(3, 83, false, "{}");
  std::vector<StreamCase> cases;
  cases.push_back({"OneMessage", Encoded(connect), {connect}});
  cases.push_back({"EmptyBody", Encoded(heartbeat), {heartbeat}});
  cases.push_back({"ThreeInARow", Encoded(connect) + Encoded(heartbeat) + Encoded(encParam),
                   {connect, heartbeat, encParam}});
  // The header with the wrong magic is dropped and the bytes after it start
  // a new header right away, without waiting for more input.
  cases.push_back({"WrongMagicThenMessage",
                   SimFrame::rawHeader(0x56616E66, 2, 1, 2) + Encoded(emptyObject), {BadEvent(), emptyObject}});
  cases.push_back({"NegativeLengthThenMessage",
                   SimFrame::rawHeader(SimFrame::kMagic, -1, 1, 2) + Encoded(emptyObject), {BadEvent(), emptyObject}});
  cases.push_back({"HugeLengthThenMessage",
                   SimFrame::rawHeader(SimFrame::kMagic, 0x7FFFFFFF, 1, 2) + Encoded(emptyObject),
                   {BadEvent(), emptyObject}});
  cases.push_back({"LengthAboveWhatIsReadPastThenMessage",
                   SimFrame::rawHeader(SimFrame::kMagic, TransHeader::kMaxSkippedBody + 1, 1, 2) + Encoded(emptyObject),
                   {BadEvent(), emptyObject}});
  cases.push_back({"TwoBadHeaders",
                   SimFrame::rawHeader(0, 0, 0, 0) + SimFrame::rawHeader(SimFrame::kMagic, -5, 0, 0) + Encoded(heartbeat),
                   {BadEvent(), BadEvent(), heartbeat}});
  return cases;
}

class TransSplitterStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(TransSplitterStream, WholeStreamAtOnce) {
  const StreamCase& c = GetParam();
  TransSplitter splitter;
  std::vector<Event> events;
  int headers = 0;
  splitter.append(c.stream);
  Drain(&splitter, &events, &headers);
  EXPECT_EQ(events, c.expected);
  EXPECT_EQ(splitter.buffered(), 0);
}

TEST_P(TransSplitterStream, CutAtEveryByteBoundary) {
  const StreamCase& c = GetParam();
  for (int cut = 1; cut < c.stream.size(); ++cut) {
    TransSplitter splitter;
    std::vector<Event> events;
    int headers = 0;
    splitter.append(c.stream.left(cut));
    Drain(&splitter, &events, &headers);
    splitter.append(c.stream.mid(cut));
    Drain(&splitter, &events, &headers);
    ASSERT_EQ(events, c.expected) << "cut after byte " << cut;
  }
}

// Apart from the table: cutting 64 KiB at every byte would take a while.
TEST(TransSplitter, BodyAtTheBoundIsOneMessage) {
  const Event atBound = FrameEvent(4, 84, false, QByteArray(TransHeader::kMaxBody, 'b'));
  TransSplitter splitter;
  std::vector<Event> events;
  int headers = 0;
  splitter.append(Encoded(atBound));
  Drain(&splitter, &events, &headers);
  EXPECT_EQ(events, std::vector<Event>{atBound});
}

// Apart from the table too: a body above the bound is read past, in
// whatever pieces it comes, and the message after it is whole.
TEST(TransSplitter, BodyAboveTheBoundIsReadPast) {
  const Event after = FrameEvent(5, 83, false, "{}");
  const QByteArray stream = SimFrame{4, 84, false, QByteArray(TransHeader::kMaxBody + 1, 'b')}.encode() + Encoded(after);
  const std::vector<Event> expected{OversizedEvent(84), after};
  for (int piece : {1 << 20, 4096, 13, 1}) {
    TransSplitter splitter;
    std::vector<Event> events;
    int headers = 0;
    for (int at = 0; at < stream.size(); at += piece) {
      splitter.append(stream.mid(at, piece));
      Drain(&splitter, &events, &headers);
      // What is read past is never kept.
      ASSERT_LE(splitter.buffered(), std::max(piece, TransHeader::kSize + 2)) << "piece " << piece << " at " << at;
    }
    EXPECT_EQ(events, expected) << "pieces of " << piece;
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(splitter.skipping(), 0);
  }
}

TEST_P(TransSplitterStream, OneByteAtATime) {
  const StreamCase& c = GetParam();
  TransSplitter splitter;
  std::vector<Event> events;
  int headers = 0;
  for (char byte : c.stream) {
    splitter.append(&byte, 1);
    Drain(&splitter, &events, &headers);
  }
  EXPECT_EQ(events, c.expected);
  int frames = 0;
  for (const Event& e : events) frames += e.bad || e.oversized ? 0 : 1;
  // Each message announces its header exactly once, before its body.
  EXPECT_EQ(headers, frames);
}

INSTANTIATE_TEST_SUITE_P(Wire, TransSplitterStream, ::testing::ValuesIn(StreamCases()), RowName());

TEST(TransSplitter, HeaderIsAnnouncedBeforeTheBodyArrives) {
  TransSplitter splitter;
  const QByteArray message = SimFrame{0x1234, 81, false, "{\"IFrame\":1,\"SN\":7}"}.encode();
  splitter.append(message.left(TransHeader::kSize + 3));
  ASSERT_EQ(splitter.next(), TransSplitter::Step::Header);
  EXPECT_EQ(splitter.header().sn, 0x1234);
  EXPECT_EQ(splitter.header().act(), 81);
  EXPECT_EQ(splitter.next(), TransSplitter::Step::NeedMore);
  splitter.append(message.mid(TransHeader::kSize + 3));
  ASSERT_EQ(splitter.next(), TransSplitter::Step::Frame);
  EXPECT_EQ(splitter.body(), "{\"IFrame\":1,\"SN\":7}");
}

TEST(TransSplitter, ResetForgetsHalfAMessage) {
  TransSplitter splitter;
  const QByteArray first = SimFrame{1, 2, true, "{\"RspCode\":0}"}.encode();
  splitter.append(first.left(15));
  ASSERT_EQ(splitter.next(), TransSplitter::Step::Header);
  ASSERT_EQ(splitter.next(), TransSplitter::Step::NeedMore);
  splitter.reset();
  const QByteArray second = SimFrame{2, 80, false, "{\"Reason\":1}"}.encode();
  splitter.append(second);
  ASSERT_EQ(splitter.next(), TransSplitter::Step::Header);
  ASSERT_EQ(splitter.next(), TransSplitter::Step::Frame);
  EXPECT_EQ(splitter.header().act(), 80);
  EXPECT_EQ(splitter.body(), "{\"Reason\":1}");
}

}  // namespace
