#include "XAtoms.h"

#include <X11/Xlib.h>

#include <string>
#include <unordered_map>

unsigned long AtomNamed(_XDisplay* display, const char* name) {
  thread_local std::unordered_map<std::string, Atom> known;
  auto found = known.find(name);
  if (found != known.end()) return found->second;
  const Atom atom = XInternAtom(display, name, False);
  if (atom != None) known.emplace(name, atom);
  return atom;
}
