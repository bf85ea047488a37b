// Compiled as the main window's code is: the KEL provider's own headers are not visible to it.
#include "KelLink.h"
