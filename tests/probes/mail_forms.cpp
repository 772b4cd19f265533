// Must not compile: mail/ uses no forms.
#include "forms/Form.h"
