// The target directory's removal at the end of a run, on console events and at the session's
// end. Parent role only. Relies on supervise/tree_removal.h.
#pragma once

// Once extraction has started, deletes TargetDir (remove_tree: links are never followed): at
// most 21 attempts, 100 ms apart, stopping as soon as an attempt leaves nothing that another
// could still remove. Reports nothing; a child still running must have been stopped before.
void remove_target_directory();
