// veldrodep.dll, built twice under the same file name: the copy packed into the payload and an
// impostor planted where the DLL search looks (beside the exe, the current directory, PATH).
// Each tells which one it is.
extern "C" __declspec(dllexport) const wchar_t* dependency_origin() {
#ifdef VELDRO_DEP_IMPOSTOR
  return L"impostor";
#else
  return L"payload";
#endif
}
