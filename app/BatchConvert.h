#pragma once

namespace cli {
struct Request;
}

// Picture files converted to bitmap files from the command line, with the
// same writer as the window's saves. Needs no display and no settings.
namespace batch {

// Converts every picture of the request, each on its own: a file that fails
// is reported on standard error with its reason and the rest are still
// converted. Each file written is one line on standard output. Gives the
// exit code: 0 when every file was written, 1 when any failed.
int convert(const cli::Request& request);

} // namespace batch
