#include "UpdaterIcons.h"

#include <platform/Resources.h>

#include <QtGlobal>

// Outside any namespace, as the resource initialiser requires.
static void InitUpdaterResources() { Q_INIT_RESOURCE(CorvaneUpdate); }

void RegisterUpdaterIcons() {
  // The resources live in this static library: initialise them by name, or
  // the linker may leave them out of the program.
  InitUpdaterResources();
  RegisterIconResource(128, ":/updater/icons/128.png");
  RegisterIconResource(210, ":/updater/icons/210.png");
  RegisterIconResource(211, ":/updater/icons/211.png");
}
