#include "HtmlStringDraw.h"

#include <platform/DeviceCaps.h>
#include <platform/GdiOwners.h>
#include <platform/User.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

// Alignment flags: horizontal in bits 0-1, in-line vertical in 2-3, block vertical in 4-5.
constexpr int kHorizontalShift = 0;
constexpr int kInlineShift = 2;
constexpr int kBlockShift = 4;

// The status-bar font, read once for every drawer. When the system cannot
// give it, the platform's default UI font stands in.
const LOGFONTW* StatusFont() {
  static const LOGFONTW font = [] {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return metrics.lfStatusFont;
    LOGFONTW fallback{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
    return fallback;
  }();
  return &font;
}

void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text->find(from); at != std::wstring::npos; at = text->find(from, at + to.size())) {
    text->replace(at, from.size(), to);
  }
}

// The leading decimal number, as the wide-string-to-integer call reads it; no digits give 0.
int LeadingInt(const std::wstring& value) {
  const long parsed = std::wcstol(value.c_str(), nullptr, 10);
  if (parsed > INT32_MAX) return INT32_MAX;
  if (parsed < INT32_MIN) return INT32_MIN;
  return static_cast<int>(parsed);
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// RRGGBB; false (colour unchanged) for any other form.
bool ParseColour(const std::wstring& value, COLORREF* colour) {
  if (value.size() != 6) return false;
  int channel[3];
  for (int i = 0; i < 3; ++i) {
    const int high = HexDigit(value[2 * i]), low = HexDigit(value[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    channel[i] = high * 16 + low;
  }
  *colour = RGB(channel[0], channel[1], channel[2]);
  return true;
}

struct Attribute {
  std::wstring name;
  std::wstring value;
};

// name=value pairs split by single blanks. A quoted value runs to its closing
// quote, or, without one, to the end of the tag: nothing past the tag is read.
std::vector<Attribute> ParseAttributes(const std::wstring& text) {
  std::vector<Attribute> attributes;
  size_t at = 0;
  while (at < text.size()) {
    const size_t equals = text.find(L'=', at);
    const size_t blank = text.find(L' ', at);
    if (equals == std::wstring::npos || (blank != std::wstring::npos && blank < equals)) {
      if (blank == std::wstring::npos) break;  // a name without a value ends the list
      at = blank + 1;
      continue;
    }
    Attribute attribute{text.substr(at, equals - at), std::wstring()};
    size_t end;
    if (equals + 1 < text.size() && text[equals + 1] == L'"') {
      const size_t quote = text.find(L'"', equals + 2);
      end = quote == std::wstring::npos ? text.size() : quote;
      attribute.value = text.substr(equals + 2, end - (equals + 2));
      if (end < text.size()) ++end;  // past the closing quote
    } else {
      end = text.find(L' ', equals + 1);
      if (end == std::wstring::npos) end = text.size();
      attribute.value = text.substr(equals + 1, end - (equals + 1));
    }
    attributes.push_back(std::move(attribute));
    at = end + 1;  // over the blank that separates pairs
  }
  return attributes;
}

// Sizes from the text are kept within what a screen could show, so no sum overflows.
int Bounded(long long value) {
  constexpr long long kLimit = 1 << 20;
  return static_cast<int>(std::max(-kLimit, std::min(kLimit, value)));
}

int AlignValue(wchar_t first, wchar_t start, wchar_t middle) {
  if (first == start) return 0;
  if (first == middle) return 1;
  return 2;
}

bool Intersects(const RECT& a, const RECT& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

}  // namespace

struct CHtmlStringDraw::LayoutState {
  HDC dc = nullptr;
  UniqueGdiObject font;  // the font selected for measuring
  HGDIOBJ previousFont = nullptr;
  Run current;
  int extraSpacing = 0;
  POINT pen{};
  int align = 0;
  int lineWidth = 0;
  int lineHeight = 0;
  int totalHeight = 0;
};

void CHtmlStringDraw::SetText(const std::wstring& text, const LOGFONTW* defaultFont) {
  m_text = text;
  m_defaultFont = defaultFont != nullptr ? defaultFont : StatusFont();
}

std::wstring CHtmlStringDraw::RunText(const Run& run) const {
  std::wstring text = m_text.substr(static_cast<size_t>(run.start), static_cast<size_t>(run.length));
  if (text.find(L'&') == std::wstring::npos) return text;
  ReplaceAll(&text, L"&lt", L"<");
  ReplaceAll(&text, L"&gt", L">");
  ReplaceAll(&text, L"&amp", L"&");
  return text;
}

void CHtmlStringDraw::Layout(const RECT& rect, int) {
  m_layoutRect = rect;
  m_runs.clear();
  if (m_defaultFont == nullptr) m_defaultFont = StatusFont();
  LayoutState state;
  const UniqueScreenDc screen(GetDC(nullptr));
  if (!screen) return;
  state.dc = screen.get();
  const int saved = SaveDC(state.dc);
  state.current.font = *m_defaultFont;
  state.pen = POINT{rect.left, rect.top};
  size_t at = 0;
  for (;;) {
    const size_t open = m_text.find(L'<', at);
    const size_t end = open == std::wstring::npos ? m_text.size() : open;
    if (!EmitRun(state, static_cast<int>(at), static_cast<int>(end - at))) break;
    if (open == std::wstring::npos) break;
    const size_t close = m_text.find(L'>', open + 1);
    if (close == std::wstring::npos) break;  // an unterminated tag ends the text
    ProcessTag(state, m_text.substr(open + 1, close - open - 1));
    at = close + 1;
    if (at >= m_text.size()) break;
  }
  RestoreDC(state.dc, saved);
}

bool CHtmlStringDraw::EmitRun(LayoutState& state, int start, int length) {
  if (state.pen.x > m_layoutRect.right || state.pen.y > m_layoutRect.bottom) return false;
  if (length <= 0) return true;
  state.font.reset(CreateFontIndirectW(&state.current.font));
  SelectObject(state.dc, state.font.get());
  state.current.start = start;
  state.current.length = length;
  const std::wstring text = RunText(state.current);
  SIZE extent{};
  GetTextExtentPoint32W(state.dc, text.c_str(), static_cast<int>(text.size()), &extent);
  state.lineHeight = std::max<int>(state.lineHeight, extent.cy);
  state.lineWidth += extent.cx;
  state.current.rect = RECT{state.pen.x, state.pen.y, state.pen.x + extent.cx, state.pen.y + extent.cy};
  m_runs.push_back(state.current);
  state.pen.x += extent.cx;
  return true;
}

void CHtmlStringDraw::ProcessTag(LayoutState& state, const std::wstring& tag) {
  const bool closing = !tag.empty() && tag[0] == L'/';
  const size_t nameStart = closing ? 1 : 0;
  const size_t blank = tag.find(L' ', nameStart);
  const std::wstring name = tag.substr(nameStart, blank == std::wstring::npos ? std::wstring::npos : blank - nameStart);
  const std::vector<Attribute> attributes =
      blank == std::wstring::npos ? std::vector<Attribute>() : ParseAttributes(tag.substr(blank + 1));
  LOGFONTW& font = state.current.font;
  if (name == L"br") {
    EndLine(state);
  } else if (name == L"b") {
    font.lfWeight = closing ? m_defaultFont->lfWeight : FW_BOLD;
  } else if (name == L"i") {
    font.lfItalic = closing ? m_defaultFont->lfItalic : 1;
  } else if (name == L"u") {
    font.lfUnderline = closing ? m_defaultFont->lfUnderline : 1;
  } else if (name == L"s") {
    font.lfStrikeOut = closing ? m_defaultFont->lfStrikeOut : 1;
  } else if (name == L"font") {
    if (closing) {
      font = *m_defaultFont;  // the colour stays
      return;
    }
    for (const Attribute& attribute : attributes) {
      if (attribute.name == L"face") {
        std::wmemset(font.lfFaceName, 0, LF_FACESIZE);
        std::wmemcpy(font.lfFaceName, attribute.value.c_str(), std::min<size_t>(attribute.value.size(), LF_FACESIZE - 1));
      } else if (attribute.name == L"size") {
        font.lfHeight = LeadingInt(attribute.value);
      } else if (attribute.name == L"color") {
        ParseColour(attribute.value, &state.current.colour);
      }
    }
  } else if (name == L"spacer" || name == L"lhi") {
    for (const Attribute& attribute : attributes) {
      if (attribute.name != L"size") continue;
      long long size = LeadingInt(attribute.value);
      if (name == L"lhi") {
        state.extraSpacing = Bounded(size);
        continue;
      }
      if (attribute.value.find(L'%') != std::wstring::npos) size = size * (m_layoutRect.right - m_layoutRect.left) / 100;
      state.pen.x = Bounded(state.pen.x + Bounded(size));
      state.lineWidth = Bounded(state.lineWidth + Bounded(size));
    }
  } else if (name == L"align") {
    EndLine(state);
    EndBlock(state);
    for (const Attribute& attribute : attributes) {
      const wchar_t first = attribute.value.empty() ? L'\0' : attribute.value[0];
      int shift = -1, value = 0;
      if (attribute.name == L"typeh") {
        shift = kHorizontalShift;
        value = AlignValue(first, L'l', L'c');
      } else if (attribute.name == L"typel") {
        shift = kInlineShift;
        value = AlignValue(first, L't', L'm');
      } else if (attribute.name == L"typev") {
        shift = kBlockShift;
        value = AlignValue(first, L't', L'm');
      }
      if (shift >= 0) state.align = (state.align & ~(3 << shift)) | (value << shift);
    }
  }
}

void CHtmlStringDraw::EndLine(LayoutState& state) {
  const int horizontal = (state.align >> kHorizontalShift) & 3;
  const int inLine = (state.align >> kInlineShift) & 3;
  if (horizontal == 1 || horizontal == 2) {
    int dx = (m_layoutRect.right - m_layoutRect.left) - state.lineWidth;
    if (horizontal == 1) dx /= 2;
    for (auto it = m_runs.rbegin(); dx > 0 && it != m_runs.rend(); ++it) {
      if (it->block != state.current.block || it->line != state.current.line) break;
      it->rect.left += dx;
      it->rect.right += dx;
    }
  }
  if (inLine == 1 || inLine == 2) {
    for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it) {
      if (it->block != state.current.block || it->line != state.current.line) break;
      int dy = state.lineHeight - (it->rect.bottom - it->rect.top);
      if (inLine == 1) dy /= 2;
      it->rect.top += dy;
      it->rect.bottom += dy;
    }
  }
  const int advance = state.lineHeight + state.extraSpacing;
  state.totalHeight += advance;
  state.pen.x = m_layoutRect.left;
  state.pen.y += advance;
  state.lineWidth = 0;
  state.lineHeight = 0;
  ++state.current.line;
}

void CHtmlStringDraw::EndBlock(LayoutState& state) {
  const int vertical = (state.align >> kBlockShift) & 3;
  if (vertical == 1 || vertical == 2) {
    int dy = (m_layoutRect.bottom - m_layoutRect.top) - state.totalHeight;
    if (vertical == 1) dy /= 2;
    for (auto it = m_runs.rbegin(); dy > 0 && it != m_runs.rend(); ++it) {
      if (it->block != state.current.block) break;
      it->rect.top += dy;
      it->rect.bottom += dy;
    }
  }
  ++state.current.block;
}

void CHtmlStringDraw::Draw(HDC dc, const RECT* clip) {
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);
  const RECT& bounds = clip != nullptr ? *clip : m_layoutRect;
  UniqueGdiObject font;
  for (const Run& run : m_runs) {
    if (clip != nullptr && !Intersects(run.rect, *clip)) continue;
    UniqueGdiObject next(CreateFontIndirectW(&run.font));
    SelectObject(dc, next.get());
    font = std::move(next);  // the previous one is no longer selected
    SetTextColor(dc, run.colour);
    const std::wstring text = RunText(run);
    ExtTextOutW(dc, run.rect.left, run.rect.top, ETO_CLIPPED, &bounds, text.c_str(), static_cast<UINT>(text.size()),
                nullptr);
  }
  RestoreDC(dc, saved);
}
