// The parent's side of the handoff environment (base/env.h): what it forgets of an outer run
// and what it publishes for its child and the packaged application.
#pragma once

// Parent role, before the template is expanded: forgets the per-run tokens of any outer run
// and publishes this process's id as the parent.
void reset_run_variables();

// Parent role, after extraction: publishes the launcher's folder and its typed argv[0].
void publish_launch_variables();
