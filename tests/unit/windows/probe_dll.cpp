// A library of our own, known to no system search path: the late-binding
// tests load it by a bare name from the program's own folder.
extern "C" __declspec(dllexport) int __stdcall VhbProbeTwice(int x) {
    return 2 * x;
}
