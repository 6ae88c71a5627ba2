// Built with nothing but Qt Core and this header, as a host would include it.
#include "CorvaneSDK.h"

#include <gtest/gtest.h>

#include <type_traits>
#include "RowName.h"

using namespace CORVANESDK;

// A host cannot delete the SDK's objects through the interfaces, nor the SDK
// the host's logger, and no interface grew a virtual destructor (which would
// shift every later function in the table the other side calls).
template <typename T>
constexpr bool kSealed = !std::is_destructible<T>::value && !std::has_virtual_destructor<T>::value;
static_assert(kSealed<ICorvaneSDK> && kSealed<IBoxSearch> && kSealed<IBoxSearchCallBack> && kSealed<ITransCtrl> &&
                  kSealed<ITransCtrlCallBack> && kSealed<FWlogger> && kSealed<FWCfgger>,
              "interfaces keep protected non-virtual destructors");

namespace {

void ExpectDefaults(const SSCFG& cfg) {
  EXPECT_EQ(cfg.monitorID, -1);
  EXPECT_EQ(cfg.encodetype, 0);
  EXPECT_TRUE(cfg.catchRt.empty());
  EXPECT_TRUE(cfg.catchWnd.empty());
  EXPECT_TRUE(cfg.catchWndPro.empty());
  EXPECT_EQ(cfg.cursorType, 0);
  EXPECT_EQ(cfg.fps, 12);
  EXPECT_EQ(cfg.kbps, 2000);
  EXPECT_EQ(cfg.encSize, QSize(-1, -1));
  EXPECT_EQ(cfg.h264crf, 22);
  EXPECT_EQ(cfg.extParam1, 70);
  EXPECT_EQ(cfg.extParam2, 90);
}

SSCFG Changed() {
  SSCFG cfg;
  cfg.monitorID = 1;
  cfg.encodetype = 3;
  cfg.catchRt.push_back({10, 20, 300, 400});
  cfg.catchWnd.insert(reinterpret_cast<HWND>(0x400001));
  cfg.catchWndPro.insert(reinterpret_cast<HWND>(0x400002));
  cfg.cursorType = 1;
  cfg.fps = 30;
  cfg.kbps = 4000;
  cfg.encSize = QSize(1280, 720);
  cfg.h264crf = 18;
  cfg.extParam1 = 1;
  cfg.extParam2 = 2;
  return cfg;
}

TEST(SSCFG, NewRecordHasTheDefaults) { ExpectDefaults(SSCFG()); }

TEST(SSCFG, ResetRestoresEveryDefault) {
  SSCFG cfg = Changed();
  cfg.reset();
  ExpectDefaults(cfg);
}

TEST(SSCFG, CopiesAreDeepAndComplete) {
  const SSCFG original = Changed();
  SSCFG copy;
  copy = original;
  SSCFG constructed(original);
  for (const SSCFG* c : {&copy, &constructed}) {
    EXPECT_EQ(c->monitorID, 1);
    ASSERT_EQ(c->catchRt.size(), 1u);
    EXPECT_EQ(c->catchRt.front().width, 300);
    EXPECT_EQ(c->catchWnd.count(reinterpret_cast<HWND>(0x400001)), 1u);
    EXPECT_EQ(c->catchWndPro.count(reinterpret_cast<HWND>(0x400002)), 1u);
    EXPECT_EQ(c->encSize, QSize(1280, 720));
    EXPECT_EQ(c->extParam2, 2);
  }
  copy.catchRt.clear();
  EXPECT_EQ(original.catchRt.size(), 1u);
}

struct BoxCase {
  const char* name;
  MEETING_BOX_INFO box;
};

std::vector<BoxCase> BoxCases() {
  MEETING_BOX_INFO plain;
  plain.boxID = "B-1";
  plain.port = 5625;
  plain.ip = "10.0.0.5";
  plain.dispName = "Room 1";
  plain.attrs = {{"BoxID", "B-1"}, {"DispName", "Room 1"}, {"Ver", "3"}};
  MEETING_BOX_INFO nonAscii = plain;
  nonAscii.dispName = QString::fromUtf8("\xE4\xBC\x9A\xE8\xAE\xAE\xE5\xAE\xA4 S\xC3\xBC" "d");
  nonAscii.attrs.insert(QString::fromUtf8("Schl\xC3\xBCssel"), QString::fromUtf8("\xF0\x9F\x93\xBA"));
  MEETING_BOX_INFO empty;
  MEETING_BOX_INFO typedIn;
  typedIn.ip = "192.168.1.20";
  typedIn.port = 5625;
  typedIn.dispName = "192.168.1.20";
  return {{"Plain", plain}, {"NonAscii", nonAscii}, {"Empty", empty}, {"TypedInNoAttrs", typedIn}};
}

class BoxConversion : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BoxConversion, RoundTripsUnchanged) {
  const MEETING_BOX_INFO& box = GetParam().box;
  BOX_INFO info;
  info.attrs["stale"] = "x";
  MeetingBoxToBoxInfo(box, info);
  EXPECT_EQ(info.attrs.size(), static_cast<size_t>(box.attrs.size())) << "an old key survived";
  EXPECT_EQ(info.dispName, box.dispName.toUtf8().toStdString());
  MEETING_BOX_INFO back;
  back.attrs.insert("stale", "x");
  BoxInfoToMeetingBox(info, back);
  EXPECT_EQ(back.boxID, box.boxID);
  EXPECT_EQ(back.port, box.port);
  EXPECT_EQ(back.ip, box.ip);
  EXPECT_EQ(back.dispName, box.dispName);
  EXPECT_EQ(back.attrs, box.attrs);
}

INSTANTIATE_TEST_SUITE_P(Records, BoxConversion, ::testing::ValuesIn(BoxCases()), RowName());

TEST(Records, MeetingBoxIsAQtMetaType) {
  EXPECT_TRUE(QMetaType::fromType<MEETING_BOX_INFO>().isValid());
  EXPECT_EQ(NET_NOTIFY(CVNTY_ENC_PARAM_CHANGED), 16);
  EXPECT_EQ(CVRSN_CONNECTION_LOST, 67);
  EXPECT_EQ(CVSTATE_SHARE_STOPPING, 8);
}

}  // namespace
