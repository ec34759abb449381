#include "driver/program.h"

int main(int argc, char** argv) { return kerf::run_program(argc, argv); }
