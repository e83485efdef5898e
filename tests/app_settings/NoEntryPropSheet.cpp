// A properties dialog library that lacks its entry point.
extern "C" __attribute__((visibility("default"))) int test() { return 0; }
