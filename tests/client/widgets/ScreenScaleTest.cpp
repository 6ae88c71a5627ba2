#include <gtest/gtest.h>

#include "ScreenScale.h"
#include "RowName.h"

namespace {

struct ScaleCase {
  const char* name;
  float factor;
  const char* input;
  const char* output;
};

const ScaleCase kScaleCases[] = {
    {"WholeAt1", 1.0f, "font-size:13px*SCREENSCALE;", "font-size:13px;"},
    {"FractionTruncatedAt1", 1.0f, "a:0.5px*SCREENSCALE; b:2.9px*SCREENSCALE;", "a:0px; b:2px;"},
    {"NoDigits", 1.0f, "width: px*SCREENSCALE;", "width: 0px;"},
    {"MalformedNumber", 1.25f, "w:1.2.3px*SCREENSCALE;", "w:0px;"},
    {"MarkerAtStartEndsRewrite", 1.5f, "px*SCREENSCALE 4px*SCREENSCALE", "px*SCREENSCALE 4px*SCREENSCALE"},
    {"PlainPxUntouched", 1.5f, "border:1px solid; m:2px*SCREENSCALE", "border:1px solid; m:3px"},
    {"FontAt125", 1.25f, "font-size:13px*SCREENSCALE;", "font-size:16px;"},
    {"OneAt125", 1.25f, "border:1px*SCREENSCALE solid red", "border:1px solid red"},
    {"SignStays", 1.25f, "margin-left:-4px*SCREENSCALE;", "margin-left:-5px;"},
    {"At150", 1.5f, "a:13px*SCREENSCALE b:3px*SCREENSCALE", "a:19px b:4px"},
    // A long number shrinks the text: the next marker must still be found.
    {"LongNumberThenShortAt1", 1.0f, "0.5000px*SCREENSCALE 1px*SCREENSCALE", "0px 1px"},
    {"LongNumberThenShortAt125", 1.25f, "0.5000px*SCREENSCALE 1px*SCREENSCALE", "0px 1px"},
    {"LongNumberThenShortAt150", 1.5f, "12.0000px*SCREENSCALE 2px*SCREENSCALE;", "18px 3px;"},
    {"Adjacent", 1.5f, "2px*SCREENSCALE4px*SCREENSCALE", "3px6px"},
    {"CaseMatters", 1.5f, "x 2px*screenscale", "x 2px*screenscale"},
};

class ScaleStyleSheetTest : public ::testing::TestWithParam<ScaleCase> {
 protected:
  void TearDown() override { setScreenScaleForTest(1.0f); }
};

TEST_P(ScaleStyleSheetTest, Rewrites) {
  setScreenScaleForTest(GetParam().factor);
  EXPECT_EQ(scaleStyleSheet(QString::fromUtf8(GetParam().input)).toStdString(), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Sheets, ScaleStyleSheetTest, ::testing::ValuesIn(kScaleCases), RowName());

TEST(ScreenScaleTest, DisabledKeepsOne) {
  initScreenScale(false);
  EXPECT_EQ(screenScale(), 1.0f);
}

TEST(ScreenScaleTest, DerivedSizesTruncate) {
  setScreenScaleForTest(1.25f);
  EXPECT_EQ(static_cast<int>(410 * screenScale()), 512);
  setScreenScaleForTest(1.0f);
}

}  // namespace
