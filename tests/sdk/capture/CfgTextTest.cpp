#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "CatchThread.h"
#include "RowName.h"

namespace {

HWND Window(uintptr_t id) { return reinterpret_cast<HWND>(id); }

struct CfgCase {
  const char* name;
  CORVANESDK::SSCFG (*make)();
  const char* text;
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const CfgCase& c, std::ostream* os) { *os << c.name; }

CORVANESDK::SSCFG Defaults() { return CORVANESDK::SSCFG(); }

CORVANESDK::SSCFG Everything() {
  CORVANESDK::SSCFG cfg;
  cfg.monitorID = 2;
  cfg.catchRt = {{10, 20, 300, 400}, {-5, 0, 1, 2}};
  cfg.catchWnd = {Window(0x3a00007), Window(0x10)};
  cfg.catchWndPro = {Window(0xABCDEF)};
  cfg.cursorType = 1;
  cfg.fps = 30;
  cfg.kbps = 8000;
  cfg.h264crf = 18;
  cfg.encSize = QSize(1280, 720);
  return cfg;
}

CORVANESDK::SSCFG WindowsOnly() {
  CORVANESDK::SSCFG cfg;
  cfg.monitorID = 0;
  cfg.catchWndPro = {Window(0x1)};
  cfg.fps = 0;
  return cfg;
}

const CfgCase kCfgCases[] = {
    {"Defaults", Defaults,
     "monitorID:-1,cursorType:0,fps:12,kbps:2000,h264crf:22,encSize:-1x-1"},
    {"Everything", Everything,
     "monitorID:2,catchRt:10.20-300x400,-5.0-1x2,catchWnd:0x10,0x3a00007,catchWndPro:0xabcdef,"
     "cursorType:1,fps:30,kbps:8000,h264crf:18,encSize:1280x720"},
    {"ProcessWindowsOnly", WindowsOnly,
     "monitorID:0,catchWndPro:0x1,cursorType:0,fps:0,kbps:2000,h264crf:22,encSize:-1x-1"},
};

class CfgTextTest : public ::testing::TestWithParam<CfgCase> {};

TEST_P(CfgTextTest, LogText) {
  const CfgCase& c = GetParam();
  EXPECT_EQ(CatchThread::cfgToString(c.make()).toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cfg, CfgTextTest, ::testing::ValuesIn(kCfgCases), RowName());

}  // namespace
