// A small program that the build signs, so the trust provider has a signed
// file to judge.
int main() { return 0; }
