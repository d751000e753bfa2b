#include "app/checker.h"

int main(int argc, char** argv) { return runCheck(argc, argv); }
