// Must not compile: a path out of palette/ through "..".
#include "palette/../host/HostError.h"
