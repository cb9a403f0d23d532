// A main DLL linked the default MinGW way, without -static: it imports libstdc++-6.dll and
// (for its exception handling) libgcc_s_seh-1.dll, which no Windows has, so a run would fail
// to load it.
#include <stdexcept>
#include <string>

extern "C" __declspec(dllexport) int run_code(int argc, wchar_t**, const wchar_t*) {
  try {
    if (argc > 100) throw std::runtime_error("too many arguments");
    return static_cast<int>(std::string(static_cast<size_t>(argc), 'x').size());
  } catch (const std::exception& error) {
    return static_cast<int>(std::string(error.what()).size());
  }
}
