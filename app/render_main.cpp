#include "app/renderer.h"

int main(int argc, char** argv) { return runRender(argc, argv); }
