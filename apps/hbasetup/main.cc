// hbasetup: the SCSI host-adapter setup, on the host's machine (see hbasetup/src/program.h).
#include "program.h"

int main(int argc, char** argv) { return hbasetup::Main(argc, argv); }
