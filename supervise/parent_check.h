// The role decision. Relies on fs/self_path.h and base/env.h.
#pragma once

// True when VELDRO_ONEFILE_PARENT names a live process running this same executable (compared
// by resolved path). Every failure on the way means false: the parent role.
bool check_parent_identity();
