// A main DLL that exports something, but not run_code: the child must refuse to enter it.
extern "C" __declspec(dllexport) int run_kode(int, wchar_t**, const wchar_t*) { return 0; }
