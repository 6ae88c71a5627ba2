// Mark-up layout as tables of source -> runs, on a fixed-pitch font whose
// cell is measured once; then painting, clipped.
#include <gtest/gtest.h>

#include <platform/DeviceCaps.h>
#include <platform/GdiOwners.h>

#include <cwchar>
#include <vector>

#include "Canvas.h"
#include "HtmlStringDraw.h"
#include "RowName.h"

namespace {

constexpr wchar_t kFace[] = L"DejaVu Sans Mono";
constexpr LONG kHeight = -12;
constexpr LONG kTallHeight = -30;
// The layout rectangle: 200 x 100 at (10, 20).
constexpr RECT kBox{10, 20, 210, 120};

LOGFONTW MonoFont(LONG height = kHeight) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = FW_NORMAL;
  std::wcsncpy(font.lfFaceName, kFace, LF_FACESIZE - 1);
  return font;
}

// Cell width and height of the font, and the height of the tall one.
struct Cell {
  int w = 0;
  int h = 0;
  int tallH = 0;
};

Cell Measure() {
  Cell cell;
  const UniqueScreenDc dc(GetDC(nullptr));
  for (LONG height : {kHeight, kTallHeight}) {
    const LOGFONTW logFont = MonoFont(height);
    UniqueGdiObject font(CreateFontIndirectW(&logFont));
    HGDIOBJ old = SelectObject(dc.get(), font.get());
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), L"x", 1, &size);
    SelectObject(dc.get(), old);
    if (height == kHeight) {
      cell.w = size.cx;
      cell.h = size.cy;
    } else {
      cell.tallH = size.cy;
    }
  }
  return cell;
}

using Place = int (*)(const Cell&);

struct ExpectedRun {
  const wchar_t* text;
  Place left;  // absolute, in the layout's coordinates
  Place top;
  LONG weight = FW_NORMAL;
  bool italic = false, underline = false, strikeOut = false;
  const wchar_t* face = kFace;
  LONG height = kHeight;
  COLORREF colour = 0;
};

struct MarkupCase {
  const char* name;
  const wchar_t* source;
  std::vector<ExpectedRun> runs;
};

int L0(const Cell&) { return kBox.left; }
int T0(const Cell&) { return kBox.top; }

const MarkupCase kMarkupCases[] = {
    {"Plain", L"hello", {{L"hello", L0, T0}}},
    {"LessThanKeepsSemicolon", L"a&lt;b", {{L"a<;b", L0, T0}}},
    {"AmpersandWithoutSemicolon", L"x &amp y", {{L"x & y", L0, T0}}},
    {"GreaterThan", L"&gt&gt", {{L">>", L0, T0}}},
    {"BoldThenPlain",
     L"<b>bold</b> plain",
     {{L"bold", L0, T0, FW_BOLD}, {L" plain", [](const Cell& c) { return kBox.left + 4 * c.w; }, T0}}},
    {"StylesOnAndOff",
     L"<i><u><s>a</s></u></i>b",
     {{L"a", L0, T0, FW_NORMAL, true, true, true}, {L"b", [](const Cell& c) { return kBox.left + c.w; }, T0}}},
    {"ColourKeptAfterFont",
     L"<font color=FF0000>red</font> text",
     {{L"red", L0, T0, FW_NORMAL, false, false, false, kFace, kHeight, RGB(255, 0, 0)},
      {L" text", [](const Cell& c) { return kBox.left + 3 * c.w; }, T0, FW_NORMAL, false, false, false, kFace,
       kHeight, RGB(255, 0, 0)}}},
    {"FontAttributes",
     L"<font face=\"DejaVu Sans\" size=20 color=00ff80>x</font>y",
     {{L"x", L0, T0, FW_NORMAL, false, false, false, L"DejaVu Sans", 20, RGB(0, 0xFF, 0x80)},
      {L"y", nullptr, T0, FW_NORMAL, false, false, false, kFace, kHeight, RGB(0, 0xFF, 0x80)}}},
    {"ColourOfWrongLengthIgnored", L"<font color=FFF>a", {{L"a", L0, T0}}},
    {"ColourNotHexIgnored", L"<font color=GG0000>a", {{L"a", L0, T0}}},
    {"FontSizeWithoutDigits", L"<font size=px>a", {{L"a", L0, T0, FW_NORMAL, false, false, false, kFace, 0}}},
    {"TagNamesAreCaseSensitive", L"<B>a", {{L"a", L0, T0}}},
    {"UnknownTagSkipped",
     L"<blink>a</blink>b",
     {{L"a", L0, T0}, {L"b", [](const Cell& c) { return kBox.left + c.w; }, T0}}},
    {"CentredWithBreak",
     L"<align typeh=c>title<br>",
     {{L"title", [](const Cell& c) { return kBox.left + (200 - 5 * c.w) / 2; }, T0}}},
    {"CentredWithoutBreakStaysLeft", L"<align typeh=c>title", {{L"title", L0, T0}}},
    {"RightAligned",
     L"<align typeh=r>ab<br>cd",
     {{L"ab", [](const Cell& c) { return kBox.left + 200 - 2 * c.w; }, T0},
      {L"cd", L0, [](const Cell& c) { return kBox.top + c.h; }}}},
    {"SpacerHalfTheWidth", L"<spacer size=50%>x", {{L"x", [](const Cell&) { return kBox.left + 100; }, T0}}},
    {"SpacerPixels",
     L"a<spacer size=7>b",
     {{L"a", L0, T0}, {L"b", [](const Cell& c) { return kBox.left + c.w + 7; }, T0}}},
    {"FirstLinePastTheRightEdge",
     L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa<b>x</b><br>y",
     {{L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", L0, T0}}},
    {"EmptyLinesAddOnlySpacing",
     L"a<br><br>b",
     {{L"a", L0, T0}, {L"b", L0, [](const Cell& c) { return kBox.top + c.h; }}}},
    {"LineSpacing",
     L"a<lhi size=5><br>b<br>c",
     {{L"a", L0, T0},
      {L"b", L0, [](const Cell& c) { return kBox.top + c.h + 5; }},
      {L"c", L0, [](const Cell& c) { return kBox.top + 2 * c.h + 10; }}}},
    {"BlockAtTheBottom",
     L"<align typev=b>a<align>",
     {{L"a", L0, [](const Cell& c) { return kBox.top + 100 - c.h; }}}},
    {"BlockInTheMiddle",
     L"<align typev=m>a<align>",
     {{L"a", L0, [](const Cell& c) { return kBox.top + (100 - c.h) / 2; }}}},
    {"InlineBottom",
     L"<align typel=b>a<font size=-30>B</font><br>",
     {{L"a", L0, [](const Cell& c) { return kBox.top + c.tallH - c.h; }},
      {L"B", [](const Cell& c) { return kBox.left + c.w; }, T0, FW_NORMAL, false, false, false, kFace, kTallHeight}}},
    {"UnterminatedTagEndsTheText", L"ab<b cd", {{L"ab", L0, T0}}},
    {"UnterminatedQuoteEndsAtTheTag",
     L"<font face=\"Deja size=20>x",
     {{L"x", L0, T0, FW_NORMAL, false, false, false, L"Deja size=20", kHeight}}},
    {"QuoteAtTheVeryEnd", L"a<font face=\"", {{L"a", L0, T0}}},
    {"QuoteJustBeforeTheTagEnd",
     L"<font face=\">x",
     {{L"x", L0, T0, FW_NORMAL, false, false, false, L"", kHeight}}},
    {"HugeSizesStayBounded",
     L"<font size=-2147483648>a</font><spacer size=99999999999%>b",
     {{L"a", L0, T0, FW_NORMAL, false, false, false, kFace, INT32_MIN}}},
};

class MarkupTest : public ::testing::TestWithParam<MarkupCase> {
 protected:
  static void SetUpTestSuite() { cell_ = Measure(); }
  static Cell cell_;
};
Cell MarkupTest::cell_;

TEST_P(MarkupTest, Runs) {
  const MarkupCase& c = GetParam();
  ASSERT_GT(cell_.w, 0);
  const LOGFONTW font = MonoFont();
  CHtmlStringDraw draw;
  draw.SetText(c.source, &font);
  draw.Layout(kBox, 0);
  const auto& runs = draw.Runs();
  ASSERT_EQ(runs.size(), c.runs.size());
  auto it = runs.begin();
  int previousRight = 0;
  for (const ExpectedRun& expected : c.runs) {
    const CHtmlStringDraw::Run& run = *it++;
    SCOPED_TRACE(testing::Message() << "run \"" << QString::fromWCharArray(expected.text).toStdString() << "\"");
    EXPECT_EQ(draw.RunText(run), expected.text);
    // No position given: right after the run before.
    EXPECT_EQ(run.rect.left, expected.left != nullptr ? expected.left(cell_) : previousRight);
    EXPECT_EQ(run.rect.top, expected.top(cell_));
    EXPECT_GT(run.rect.right, run.rect.left);
    EXPECT_GT(run.rect.bottom, run.rect.top);
    EXPECT_EQ(run.font.lfWeight, expected.weight);
    EXPECT_EQ(run.font.lfItalic != 0, expected.italic);
    EXPECT_EQ(run.font.lfUnderline != 0, expected.underline);
    EXPECT_EQ(run.font.lfStrikeOut != 0, expected.strikeOut);
    EXPECT_STREQ(run.font.lfFaceName, expected.face);
    EXPECT_EQ(run.font.lfHeight, expected.height);
    EXPECT_EQ(run.colour, expected.colour);
    previousRight = run.rect.right;
  }
}

INSTANTIATE_TEST_SUITE_P(Markup, MarkupTest, ::testing::ValuesIn(kMarkupCases), RowName());

TEST(MarkupLayoutTest, BlocksAndLinesAreCounted) {
  const LOGFONTW font = MonoFont();
  CHtmlStringDraw draw;
  draw.SetText(L"a<br>b<align>c", &font);
  draw.Layout(kBox, 0);
  std::vector<std::pair<int, int>> seen;
  for (const auto& run : draw.Runs()) seen.emplace_back(run.block, run.line);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 2}}));
  draw.Layout(kBox, 0);
  EXPECT_EQ(draw.Runs().size(), 3u) << "a new layout replaces the old runs";
}

TEST(MarkupLayoutTest, WithoutAFontTheStatusFontIsUsed) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  CHtmlStringDraw draw;
  draw.SetText(L"x", nullptr);
  draw.Layout(kBox, 0);
  ASSERT_EQ(draw.Runs().size(), 1u);
  EXPECT_STREQ(draw.Runs().front().font.lfFaceName, metrics.lfStatusFont.lfFaceName);
  EXPECT_EQ(draw.Runs().front().font.lfHeight, metrics.lfStatusFont.lfHeight);
  EXPECT_NE(metrics.lfStatusFont.lfHeight, 0);
}

TEST(MarkupDrawTest, RunsInTheirColourInsideTheClipOnly) {
  const LOGFONTW font = MonoFont();
  CHtmlStringDraw draw;
  draw.SetText(L"<font color=FF0000>WWWW</font><br><font color=0000FF>WWWW</font>", &font);
  draw.Layout(RECT{0, 0, 100, 60}, 0);
  ASSERT_EQ(draw.Runs().size(), 2u);
  const RECT first = draw.Runs().front().rect;
  Canvas canvas(100, 60, RGB(255, 255, 255));
  const RECT clip{0, 0, first.left + (first.right - first.left) / 2, 60};
  draw.Draw(canvas.dc(), &clip);
  int red = 0, blue = 0, outside = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 100; ++x) {
      const unsigned p = canvas.At(x, y);
      if (p == 0xFFFFFF) continue;
      if (x >= clip.right) ++outside;
      if ((p >> 16) > (p & 0xFF)) ++red;
      if ((p & 0xFF) > (p >> 16)) ++blue;
    }
  }
  EXPECT_GT(red, 0);
  EXPECT_GT(blue, 0);
  EXPECT_EQ(outside, 0) << "clipped";
  EXPECT_EQ(SetBkMode(canvas.dc(), OPAQUE), OPAQUE) << "the DC's state is restored";
}

}  // namespace
