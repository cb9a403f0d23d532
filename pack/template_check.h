// Refusal at pack time of a target-directory template that no run could use, judged by the
// launcher's own template parser (dirspec/expand.cpp) over stand-in values for what only a
// run knows (the temp folder, the program's name, the run-unique tokens). Portable.
#pragma once

#include "pack/coff_object.h"

namespace veldro {

// Throws PackError (pack/app_tree.h) unless strings.dir_spec, with strings' product values:
// - expands as the launcher expands it (known placeholders, no '}' outside a placeholder,
//   within the launcher's 4096 units);
// - has no '.' or '..' component, which would move the target away from the folder it names;
// - names a run-unique placeholder ({PID}, {TIME}, {TIME_US} or {RANDOM}) in its last
//   component: the clean-up deletes whatever stands at the target path, so a fixed name
//   could point it at somebody else's folder.
void check_template(const LauncherStrings& strings);

}  // namespace veldro
