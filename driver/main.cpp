#include "driver/fatal_fault.h"
#include "driver/program.h"

int main(int argc, char** argv) {
  kerf::end_cleanly_on_fatal_faults();
  return kerf::run_program(argc, argv);
}
