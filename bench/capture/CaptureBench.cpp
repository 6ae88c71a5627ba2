// CatchScreenDIB against bare XShmGetImage of the same rectangle (the floor),
// for the whole screen, one window and an area. Prints p50/p95 in ms.
#include <QString>

#include "BenchStats.h"
#include "ScreenInfo.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 200;

using Figures = BenchStats;

Figures Measure(const std::function<bool()>& step, int rounds = kRounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!step()) return {-1, -1, -1};
    times.push_back(MsSince(start));
  }
  return Summarise(times);
}

// Bare XShmGetImage of a rectangle into a segment of its size.
Figures Floor(Display* display, const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  XShmSegmentInfo info{};
  XImage* image = XShmCreateImage(display, DefaultVisual(display, 0), DefaultDepth(display, 0), ZPixmap, nullptr,
                                  &info, w, h);
  info.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * h, IPC_CREAT | 0600);
  info.shmaddr = image->data = static_cast<char*>(shmat(info.shmid, nullptr, 0));
  info.readOnly = False;
  XShmAttach(display, &info);
  XSync(display, False);
  shmctl(info.shmid, IPC_RMID, nullptr);
  const Figures figures = Measure([&] {
    return XShmGetImage(display, DefaultRootWindow(display), image, r.left, r.top, AllPlanes) == True;
  });
  XShmDetach(display, &info);
  XSync(display, False);
  shmdt(info.shmaddr);
  image->data = nullptr;
  XDestroyImage(image);
  return figures;
}

void Row(Display* display, const char* name, CScreenInfo& info, int rounds = kRounds) {
  if (info.CatchScreenDIB() != 0) {
    std::printf("%-12s capture failed\n", name);
    return;
  }
  const RECT bound = info.GetCatchAreaCfg().GetBoundRect();
  const Figures capture = Measure([&] { return info.CatchScreenDIB() == 0; }, rounds);
  const Figures floor = Floor(display, bound);
  std::printf("%-12s %4ldx%-4ld  %8.3f %8.3f  %8.3f %8.3f  %6.2f\n", name, static_cast<long>(bound.right - bound.left),
              static_cast<long>(bound.bottom - bound.top), capture.p50, capture.p95, floor.p50, floor.p95,
              capture.p50 / floor.p50);
}

// A box pulling at a steady rate: captures started on 1/rate slots for a few
// seconds, as the capture thread would run them. Achieved rate and the
// latency of each capture; encoding comes on top of it.
void Paced(const char* name, CScreenInfo& info, double rate, double seconds) {
  const double slotMs = 1000.0 / rate;
  std::vector<double> times;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; MsSince(start) < seconds * 1000; ++i) {
    while (MsSince(start) < slotMs * i) usleep(200);
    const auto begin = std::chrono::steady_clock::now();
    if (info.CatchScreenDIB() != 0) {
      std::printf("%-12s capture failed\n", name);
      return;
    }
    times.push_back(MsSince(begin));
  }
  const Figures f = Summarise(times);
  std::printf("%-12s %5.1f/s asked, %5.1f/s captured, capture p50 %7.3f p95 %7.3f ms\n", name, rate,
              times.size() * 1000.0 / MsSince(start), f.p50, f.p95);
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  // One shared window of this process among a few others.
  const unsigned long pid = static_cast<unsigned long>(getpid());
  Window windows[4];
  for (int i = 0; i < 4; ++i) {
    windows[i] = XCreateSimpleWindow(display, DefaultRootWindow(display), 200 + i * 150, 150 + i * 100, 800, 500, 0, 0,
                                     0x336699u * (i + 1));
    if (i == 1) {
      XChangeProperty(display, windows[i], XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    }
    XMapWindow(display, windows[i]);
  }
  XSync(display, False);
  std::printf("%d rounds each; ms\n%-12s %9s  %8s %8s  %8s %8s  %6s\n", kRounds, "case", "size", "p50", "p95",
              "floor50", "floor95", "ratio");
  {
    CScreenInfo info(0);
    Row(display, "screen", info);
  }
  {
    CScreenInfo info(0);
    info.GetCatchAreaCfg().AddProcessIds({static_cast<DWORD>(pid)});
    Row(display, "window", info);
  }
  {
    CScreenInfo info(0);
    info.GetCatchAreaCfg().AddAreas({RECT{100, 100, 900, 700}});
    Row(display, "area", info);
  }
  // The window walk grows with the number of top-level windows: the shared
  // process's window among 5, 50 and 200 of them.
  std::vector<Window> extra;
  for (int total : {5, 50, 200}) {
    while (static_cast<int>(extra.size()) + 4 < total) {
      const int i = static_cast<int>(extra.size());
      extra.push_back(XCreateSimpleWindow(display, DefaultRootWindow(display), 20 + (i * 37) % 1500,
                                          20 + (i * 53) % 800, 300, 200, 0, 0, 0x102030u * (i % 7 + 1)));
      XMapWindow(display, extra.back());
    }
    XSync(display, False);
    CScreenInfo info(0);
    info.GetCatchAreaCfg().AddProcessIds({static_cast<DWORD>(pid)});
    const std::string name = "window/" + std::to_string(total);
    Row(display, name.c_str(), info, total >= 200 ? 10 : 30);
  }
  {
    CScreenInfo info(0);
    info.GetCatchAreaCfg().AddProcessIds({static_cast<DWORD>(pid)});
    Paced("window/200 paced", info, 12, 3);
  }
  for (Window w : extra) XDestroyWindow(display, w);
  for (Window w : windows) XDestroyWindow(display, w);
  XCloseDisplay(display);
  return 0;
}
