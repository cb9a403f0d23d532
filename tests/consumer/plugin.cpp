// A second DLL of the consumer's, packed next to its main DLL.
extern "C" __declspec(dllexport) int consumer_plugin_answer() { return 42; }
