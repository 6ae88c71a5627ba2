// The updater program itself, as the client starts it: a real window on its
// own X server, the scripted server and an old program folder; the process
// status and the folder tell the result.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "RealUpdater.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"
#include "XScreen.h"

namespace {

std::string Read(const std::string& path) { return ReadWholeFile(path); }

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // The fake client the update started outlives us unless ended.
    EndStartedClient(tree_, 5000);
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
};

TEST_F(ProgramTest, UpdatesTheFolderAndExitsWithZero) {
  ASSERT_TRUE(root_.ok());
  FixtureLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout(R"(
file Corvane client
file a.dll random 5000 zf7z changed
file b.txt text 3000 changed
file same.dat random 2000
)",
                                 &layout, &error))
      << error;
  const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""};
  ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1", tree_.server));

  RealUpdater updater(tree_.oldProgram);
  ASSERT_TRUE(updater.ok());
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  const std::string argument = UpdaterArgument({{address}, "1.0.0.2", address, "test:"});

  EXPECT_EQ(updater.Run(argument, 120), 0) << Read(updater.AppLog());
  EXPECT_EQ(Read(tree_.oldProgram + "UpdateInfo.ini"), Read(tree_.newProgram + "UpdateInfo.ini"))
      << "the installed version is the new one";
}

// -1 reaches the client as 255: the status holds 8 bits.
TEST_F(ProgramTest, NoArgumentEndsWithMinusOne) {
  ASSERT_TRUE(root_.ok());
  RealUpdater updater(root_.folder());
  ASSERT_TRUE(updater.ok());
  EXPECT_EQ(updater.Run("", 30), 255);
  EXPECT_NE(Read(updater.AppLog()).find("FileDownload null param!"), std::string::npos);
}

// The dialog as drawn on the screen: found by its bottom border, the only
// long run of the border colour whose row below is not border.
struct DialogShot {
  std::vector<unsigned> pixels;
  int width = 0;
  int left = -1, right = -1, top = -1, bottom = -1;
  unsigned At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

constexpr unsigned kBorder = 0x6198E1, kCaptionTop = 0x538AD8, kCaptionBottom = 0x6393F7, kBody = 0xE1E9EC;

bool Near(unsigned a, unsigned b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

bool FindDialog(DialogShot* shot, int height) {
  for (int y = height - 2; y >= 0; --y) {
    int run = 0;
    for (int x = 0; x < shot->width; ++x) {
      run = shot->At(x, y) == kBorder && shot->At(x, y + 1) != kBorder ? run + 1 : 0;
      if (run >= 200 && (x + 1 == shot->width || shot->At(x + 1, y) != kBorder)) {
        shot->bottom = y;
        shot->right = x;
        shot->left = x - run + 1;
        break;
      }
    }
    if (shot->bottom >= 0) break;
  }
  if (shot->bottom < 0) return false;
  // The top border: two border rows with the caption's first row below them.
  const int x = shot->left + 5;
  for (int y = shot->bottom - 50; y >= 1; --y) {
    if (shot->At(x, y) == kBorder && shot->At(x, y + 1) == kBorder && shot->At(x, y - 1) != kBorder &&
        Near(shot->At(x, y + 2), kCaptionTop, 12)) {
      shot->top = y;
      return true;
    }
  }
  return false;
}

std::string Hex(unsigned pixel) {
  char text[16];
  snprintf(text, sizeof text, "%06X", pixel);
  return text;
}

// What is wrong with the dialog in the shot, or "" when it looks right.
std::string CheckDialog(const DialogShot& shot) {
  const int x = shot.left + 5;  // left of the icon, inside the border
  const int y = shot.top;
  if (!Near(shot.At(x, y + 2), kCaptionTop, 8)) return "caption top " + Hex(shot.At(x, y + 2));
  if (!Near(shot.At(x, y + 39), kCaptionBottom, 8)) return "caption bottom " + Hex(shot.At(x, y + 39));
  if (!Near(shot.At(x, shot.bottom - 5), kBody, 4)) return "body " + Hex(shot.At(x, shot.bottom - 5));
  // The top corners are cut off; the sides below them are drawn.
  for (int corner : {shot.left, shot.right}) {
    if (shot.At(corner, y) == kBorder) return "square top corner at x " + std::to_string(corner);
    if (shot.At(corner, (y + shot.bottom) / 2) != kBorder) return "no side border at x " + std::to_string(corner);
  }
  if (shot.At(shot.left, shot.bottom) != kBorder || shot.At(shot.right, shot.bottom) != kBorder)
    return "rounded bottom corner";
  return "";
}

// The close button: the top right 14 x 14 of the dialog's 250 x 69 units.
struct ButtonBox {
  int left, top, width, height;
};

ButtonBox CloseButton(const DialogShot& shot) {
  const int width = (shot.right - shot.left + 1) * 14 / 250;
  const int height = (shot.bottom - shot.top + 1) * 14 / 69;
  return {shot.right + 1 - width, shot.top, width, height};
}

// What is wrong with the button in the shot, or "": it has no face, so its
// left column (beside the icon) shows the caption band as the pixels just
// left of it do, row by row (the band's gradient runs down).
std::string CheckButtonSeeThrough(const DialogShot& shot, const ButtonBox& button) {
  for (int y = button.top + 2; y < button.top + button.height - 1; ++y) {
    const unsigned band = shot.At(button.left - 2, y);
    const unsigned own = shot.At(button.left, y);
    if (!Near(own, band, 8)) return "row " + std::to_string(y - button.top) + ": " + Hex(own) + " over " + Hex(band);
  }
  return "";
}

// The hover icon's face (the normal icon is a white cross with no face).
constexpr unsigned kHoverFace = 0xE81123;

// The solid hover-face pixels inside the button: their bounding box, or an
// empty box (width 0) when there are none.
ButtonBox HoverFace(const DialogShot& shot, const ButtonBox& button) {
  int left = button.left + button.width, right = -1, top = button.top + button.height, bottom = -1;
  for (int y = button.top; y < button.top + button.height; ++y) {
    for (int x = button.left; x < button.left + button.width; ++x) {
      if (!Near(shot.At(x, y), kHoverFace, 8)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {0, 0, 0, 0};
  return {left, top, right - left + 1, bottom - top + 1};
}

// What is wrong with the hovered button in the shot, or "": the hover icon
// whole (16 x 16) and centred across, and no frame or face around it.
std::string CheckButtonHovered(const DialogShot& shot, const ButtonBox& button) {
  const ButtonBox face = HoverFace(shot, button);
  if (face.width != 16 || face.height != 16) {
    return "hover icon " + std::to_string(face.width) + " x " + std::to_string(face.height);
  }
  const int leftGap = face.left - button.left;
  const int rightGap = button.left + button.width - (face.left + face.width);
  if (leftGap - rightGap > 1 || rightGap - leftGap > 1) {
    return "hover icon " + std::to_string(leftGap) + " from the left, " + std::to_string(rightGap) + " from the right";
  }
  return CheckButtonSeeThrough(shot, button);
}

class ProgramLookTest : public ProgramTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramLookTest, DialogShowsCaptionGradientBodyAndRoundTopCorners) {
  ASSERT_TRUE(root_.ok());
  FixtureLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout("file Corvane client\nfile a.dll random 6000 changed\n", &layout, &error)) << error;
  const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""};
  ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
  std::ofstream(tree_.oldProgram + "UserCfg.ini") << "[CFG]\r\nLanguage=" << GetParam() << "\r\n";
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1", tree_.server));
  // Slow enough that the dialog stays up while we look at it.
  server.SetThrottle(1500);

  RealUpdater updater(tree_.oldProgram);
  ASSERT_TRUE(updater.ok());
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  ChildProcess child;
  ASSERT_TRUE(updater.Start(UpdaterArgument({{address}, "1.0.0.2", address}), &child));

  XScreen screen;
  ASSERT_TRUE(screen.ok());
  auto grab = [&screen](DialogShot* shot) {
    *shot = DialogShot();
    shot->width = screen.width();
    shot->pixels = screen.Grab(0, 0, screen.width(), screen.height());
    return shot->pixels.size() == static_cast<size_t>(screen.width()) * screen.height() &&
           FindDialog(shot, screen.height());
  };
  std::string problem = "the dialog was not found on the screen";
  DialogShot shot;
  for (int i = 0; i < 100 && !problem.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (grab(&shot)) problem = CheckDialog(shot);
  }
  ASSERT_EQ(problem, "");

  // The close button has no face: at rest it shows the caption band around
  // its icon.
  const ButtonBox button = CloseButton(shot);
  EXPECT_EQ(CheckButtonSeeThrough(shot, button), "");
  EXPECT_EQ(HoverFace(shot, button).width, 0) << "the hover icon with the pointer away";

  // With the pointer over it, the hover icon shows and still no frame.
  ASSERT_TRUE(screen.MoveCursor(button.left + button.width / 2, button.top + button.height / 2));
  problem = "the dialog was not found on the screen";
  for (int i = 0; i < 50 && !problem.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (grab(&shot)) problem = CheckButtonHovered(shot, CloseButton(shot));
  }
  EXPECT_EQ(problem, "") << "hovered";
  EXPECT_EQ(child.wait(std::chrono::seconds(120)).exitCode(), 0) << Read(updater.AppLog());
}

INSTANTIATE_TEST_SUITE_P(Languages, ProgramLookTest, ::testing::Values("en_US", "zh_CN"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "en_US" ? std::string("English")
                                                                     : std::string("Chinese");
                         });

}  // namespace
