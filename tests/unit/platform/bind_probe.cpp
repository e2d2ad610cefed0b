// Loaded by the late-binding tests from the test program's own folder.
extern "C" int vhb_bind_probe_twice(int x) {
    return 2 * x;
}
