// The updater's own icons as the program's icon resources: 128 the program,
// 210 the close button under the mouse or pressed, 211 the close button at rest.
#pragma once

void RegisterUpdaterIcons();
