// An engine library that lacks the "upgrade" export.
extern "C" __attribute__((visibility("default"))) int sum(int a, int b) { return a + b; }
