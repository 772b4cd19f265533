// Must not compile: palette/ uses nothing of ours.
#include "host/HostError.h"
