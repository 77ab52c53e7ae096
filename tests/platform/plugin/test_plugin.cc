// A tiny library that the loader tests open at run time.
extern "C" __attribute__((visibility("default"))) int VelmorTestPluginAnswer() { return 42; }
