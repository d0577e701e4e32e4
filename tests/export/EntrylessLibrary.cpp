// A library that is no engine: it lacks the "SFEditEngine" export.
extern "C" __attribute__((visibility("default"))) int NotAnEngine() { return 0; }
