// The launcher's entry point; start-up and shut-down live in win_main.cc.
#include "launcher/win_main.h"

int main() { return WinMain(); }
