// The benchmark's main DLL: run_code returns at once, so a launcher run measures the
// launcher's own work (extract, start the child, load this DLL, clean up) and nothing else.
extern "C" __declspec(dllexport) int run_code(int, wchar_t**, const wchar_t*) { return 0; }
