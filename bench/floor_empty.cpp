// The floor under fdkeep on a tiny file: a C++ program that does nothing.
int main() { return 0; }
