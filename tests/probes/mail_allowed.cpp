// Must compile: what mail/ may use, so that the probes above fail for the
// reason they name.
#include "host/Files.h"
#include "mail/MailService.h"
#include <QString>
