// Test module: a shared library that loads fine but exports no
// GetOutputPluginTable, for the host's "not an output module" error.
extern "C" __attribute__((visibility("default"))) int RozoveTestNothing(void) {
    return 0;
}
