/* A library planted in the current folder, for the test that it is not loaded from there. */
__declspec(dllexport) int tavlo_planted(void) {
    return 1;
}
