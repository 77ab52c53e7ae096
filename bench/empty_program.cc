// Loads the launcher's libraries and ends: the floor of any start-up of a
// program built on them, measured beside the launcher's own start-up.
int main() { return 0; }
