#include "driver/kerf_main.h"

int main(int argc, char** argv) { return kerf::kerf_main(argc, argv); }
