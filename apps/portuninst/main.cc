// portuninst: the port-card utility, on the host's machine (see portcard/src/program.h).
#include "program.h"

int main(int argc, char** argv) { return portcard::PortUninstMain(argc, argv); }
