// Storage of the process-wide run state declared in run_state.h.
#include "launcher/run_state.h"

int RunArgc;
wchar_t** RunArgv;
bool IsChildRole;
wchar_t TargetDir[kPathUnits];
bool TargetCreated;
volatile bool ExtractionStarted;
wchar_t FirstEntryPath[kPathUnits];
void* volatile ChildProcess;
volatile unsigned long ChildExitCode;
void* volatile ChildExitKnown;
RunCounters Counters;
