// POSIX layer only.
#include "platform/entry_point.h"

int main() { return VendraMain(nullptr); }
