// Storage of the process-wide run state declared in run_state.h.
#include "base/run_state.h"

int RunArgc;
wchar_t** RunArgv;
bool IsChildRole;
wchar_t TargetDir[kPathUnits];
bool TargetCreated;
volatile bool ExtractionStarted;
wchar_t FirstEntryPath[kPathUnits];
