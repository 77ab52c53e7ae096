// The launcher's entry point. Start-up and shut-down order live here.
int main() { return 0; }
