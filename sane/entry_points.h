// The backend's entry points under its prefix, as SANE's dll layer looks them up; for the
// programs that call them directly (tests, the fuzz target).
#pragma once

#include <sane/sane.h>

extern "C" {
SANE_Status sane_scansuite_init(SANE_Int*, SANE_Auth_Callback);
void sane_scansuite_exit(void);
SANE_Status sane_scansuite_get_devices(const SANE_Device***, SANE_Bool);
SANE_Status sane_scansuite_open(SANE_String_Const, SANE_Handle*);
void sane_scansuite_close(SANE_Handle);
const SANE_Option_Descriptor* sane_scansuite_get_option_descriptor(SANE_Handle, SANE_Int);
SANE_Status sane_scansuite_control_option(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*);
SANE_Status sane_scansuite_get_parameters(SANE_Handle, SANE_Parameters*);
SANE_Status sane_scansuite_start(SANE_Handle);
SANE_Status sane_scansuite_read(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*);
void sane_scansuite_cancel(SANE_Handle);
SANE_Status sane_scansuite_set_io_mode(SANE_Handle, SANE_Bool);
SANE_Status sane_scansuite_get_select_fd(SANE_Handle, SANE_Int*);
}
