// A shared library that is no component library: it exports none of the
// entry points, so the host must name it and go on.
extern "C" __attribute__((visibility("default"))) int QuillbrowseNotAnAddon() { return 42; }
