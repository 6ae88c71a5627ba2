#include "BoxAnswerer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>

namespace {

// A window that went away between the query and the read is no error here.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::string Title(Display* display, Window window) {
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 256, False, utf8, &type, &format, &items, &after, &data) ==
          Success &&
      data != nullptr && format == 8) {
    title.assign(reinterpret_cast<char*>(data), items);
  }
  if (data != nullptr) XFree(data);
  if (!title.empty()) return title;
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

bool Shown(Display* display, Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::vector<std::string> captions) : captions_(std::move(captions)) {
  XInitThreads();
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) return;
  XSetErrorHandler(IgnoreErrors);
  thread_ = std::thread([this] { Watch(); });
}

BoxAnswerer::~BoxAnswerer() {
  Stop();
  if (display_ != nullptr) XCloseDisplay(display_);
}

void BoxAnswerer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> BoxAnswerer::Answered() const {
  std::lock_guard<std::mutex> guard(lock_);
  return answered_;
}

void BoxAnswerer::Watch() {
  using Clock = std::chrono::steady_clock;
  unsigned long last = 0;
  Clock::time_point lastAt;
  while (!stop_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string title;
    const unsigned long box = FindBox(&title);
    if (box == 0) continue;
    // A box still shown a while after its key lost the key: press again,
    // but it is still the one box.
    if (box == last && Clock::now() - lastAt < std::chrono::seconds(1)) continue;
    if (box != last) {
      std::lock_guard<std::mutex> guard(lock_);
      answered_.push_back(title);
    }
    last = box;
    lastAt = Clock::now();
    // Give the box a moment to take its place and paint before the key.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Answer(box);
  }
}

unsigned long BoxAnswerer::FindBox(std::string* title) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return 0;
  unsigned long found = 0;
  // From the top of the stack: the newest box first.
  for (unsigned int i = count; i-- > 0 && found == 0;) {
    if (!Shown(display_, children[i])) continue;
    const std::string name = Title(display_, children[i]);
    if (std::find(captions_.begin(), captions_.end(), name) == captions_.end()) continue;
    found = children[i];
    *title = name;
  }
  if (children != nullptr) XFree(children);
  return found;
}

void BoxAnswerer::Answer(unsigned long window) {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, window, &attributes)) return;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), attributes.width / 2,
                        attributes.height / 2, &x, &y, &child);
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
  const KeyCode key = XKeysymToKeycode(display_, XK_Return);
  XTestFakeKeyEvent(display_, key, True, CurrentTime);
  XTestFakeKeyEvent(display_, key, False, CurrentTime);
  XSync(display_, False);
}
