// Refusal at pack time of a target-directory template that no run could use, judged by the
// launcher's own template parser (format/dir_template.h) over stand-in values for what only a
// run knows (the temp folder, the program's name, the run-unique tokens). Relies on format/,
// build_inputs.h and base/. Portable.
#pragma once

#include "pack/app/build_inputs.h"

namespace veldro {

// Throws PackError unless strings.dir_spec, with strings' product values:
// - expands as the launcher expands it (known placeholders, no '}' outside a placeholder,
//   within the launcher's 4096 units);
// - has no '.' or '..' component, which would move the target away from the folder it names;
// - names a run-unique placeholder ({PID}, {TIME}, {TIME_US} or {RANDOM}) in its last
//   component: the clean-up deletes whatever stands at the target path, so a fixed name
//   could point it at somebody else's folder.
void check_template(const LauncherStrings& strings);

}  // namespace veldro
