// A stand-in game for the install action tests: it does nothing, but its
// file carries a game definition resource, so that the Game Explorer can
// register it where the system supports that.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
