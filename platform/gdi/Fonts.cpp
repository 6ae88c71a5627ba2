#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/Strings.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "BrushObject.h"
#include "DrawDc.h"
#include "FontObject.h"

namespace {

// The UI font's pixel size when the platform reports none.
constexpr int kDefaultPixelSize = 12;
constexpr LONG kMaxPixelSize = 2000;

bool HasNonLatin(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() > 0x2ff) return true;
  }
  return false;
}

// A face this system lacks. The font database on Linux is fontconfig's, and
// asking it for its Simplified Chinese families is how "宋体" or "微软雅黑"
// find a CJK font; a Latin face falls back to the UI font instead of to
// whatever fontconfig would substitute glyph by glyph.
QString FallbackFamily(const QString& face, BYTE charSet) {
  QFontDatabase database;
  if (HasNonLatin(face) || charSet == GB2312_CHARSET) {
    const QStringList cjk = database.families(QFontDatabase::SimplifiedChinese);
    for (const QString& family : cjk) {
      if (!database.isPrivateFamily(family)) return family;
    }
  }
  return QGuiApplication::font().family();
}

int QtWeight(LONG weight) {
  if (weight <= 0) return QFont::Normal;
  if (weight < 250) return QFont::ExtraLight;
  if (weight < 350) return QFont::Light;
  if (weight < 450) return QFont::Normal;
  if (weight < 550) return QFont::Medium;
  if (weight < 650) return QFont::DemiBold;
  if (weight < 750) return QFont::Bold;
  return QFont::Black;
}

LONG LogWeight(int qtWeight) {
  if (qtWeight >= QFont::Black) return 900;
  if (qtWeight >= QFont::Bold) return FW_BOLD;
  if (qtWeight >= QFont::DemiBold) return 600;
  if (qtWeight >= QFont::Medium) return 500;
  if (qtWeight >= QFont::Normal) return FW_NORMAL;
  return 300;
}

HGDIOBJ RegisterStock(std::shared_ptr<GdiObject> object) {
  return static_cast<HGDIOBJ>(RegisterGdiObject(std::move(object)));
}

}  // namespace

void EnsureGuiApplication() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (QCoreApplication::instance() != nullptr) return;
    // Without a display the xcb platform would end the process: draw offscreen.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr) {
      setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    static int argc = 1;
    static char name[] = "corvane";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives until the process ends, as the program's own would
  });
}

QFont QFontFromLogFont(const LOGFONTW& logFont) {
  EnsureGuiApplication();
  WCHAR face[LF_FACESIZE + 1] = {};
  std::memcpy(face, logFont.lfFaceName, sizeof(logFont.lfFaceName));
  const QString wanted = QString::fromStdWString(face);
  QFont font(QGuiApplication::font());
  if (!wanted.isEmpty()) {
    font.setFamily(QFontDatabase().hasFamily(wanted) ? wanted : FallbackFamily(wanted, logFont.lfCharSet));
  }
  // GDI measures in whole pixels; so do we, so that runs laid side by side
  // meet exactly. Qt 5.15 deprecates the flag but still honours it.
  QT_WARNING_PUSH
  QT_WARNING_DISABLE_DEPRECATED
  font.setStyleStrategy(QFont::ForceIntegerMetrics);
  QT_WARNING_POP
  int pixels = kDefaultPixelSize;
  if (QGuiApplication::font().pixelSize() > 0) pixels = QGuiApplication::font().pixelSize();
  else if (QGuiApplication::font().pointSizeF() > 0) pixels = QFontInfo(QGuiApplication::font()).pixelSize();
  // Heights beyond any screen are cut to one that still draws.
  const LONG height = std::max<LONG>(-kMaxPixelSize, std::min<LONG>(kMaxPixelSize, logFont.lfHeight));
  if (height < 0) pixels = -height;
  font.setPixelSize(pixels > 0 ? pixels : kDefaultPixelSize);
  if (height > 0) {
    // A positive height is the cell's: shrink the character height until the cell fits.
    const int cell = QFontMetrics(font).height();
    if (cell > height) font.setPixelSize(std::max(1, height * height / cell));
  }
  font.setWeight(QtWeight(logFont.lfWeight));
  font.setItalic(logFont.lfItalic != 0);
  font.setUnderline(logFont.lfUnderline != 0);
  font.setStrikeOut(logFont.lfStrikeOut != 0);
  return font;
}

LOGFONTW DefaultUiLogFont() {
  EnsureGuiApplication();
  const QFont ui = QGuiApplication::font();
  LOGFONTW logFont{};
  logFont.lfHeight = -QFontInfo(ui).pixelSize();
  logFont.lfWeight = LogWeight(ui.weight());
  logFont.lfItalic = ui.italic() ? 1 : 0;
  logFont.lfCharSet = DEFAULT_CHARSET;
  const std::wstring family = ui.family().left(LF_FACESIZE - 1).toStdWString();
  std::wmemcpy(logFont.lfFaceName, family.c_str(), family.size());
  return logFont;
}

QFont DcFont(const DrawDc& dc) {
  if (dc.state.font) return dc.state.font->font;
  static const QFont* fallback = new QFont(QFontFromLogFont(DefaultUiLogFont()));
  return *fallback;
}

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
  if (logFont == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<FontObject>();
  object->logFont = *logFont;
  object->logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
  object->font = QFontFromLogFont(object->logFont);
  return static_cast<HFONT>(RegisterGdiObject(std::move(object)));
}

HGDIOBJ GetStockObject(int index) {
  static const HGDIOBJ white = RegisterStock(std::make_shared<BrushObject>(RGB(255, 255, 255), false, true));
  static const HGDIOBJ black = RegisterStock(std::make_shared<BrushObject>(RGB(0, 0, 0), false, true));
  static const HGDIOBJ hollow = RegisterStock(std::make_shared<BrushObject>(0, true, true));
  switch (index) {
    case WHITE_BRUSH: return white;
    case BLACK_BRUSH: return black;
    case NULL_BRUSH: return hollow;
    case DEFAULT_GUI_FONT: {
      static const HGDIOBJ gui = [] {
        auto font = std::make_shared<FontObject>();
        font->logFont = DefaultUiLogFont();
        font->font = QFontFromLogFont(font->logFont);
        font->stock = true;
        return RegisterStock(std::move(font));
      }();
      return gui;
    }
    default:
      PlatformLog("gdi: stock object %d is not offered", index);
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}
