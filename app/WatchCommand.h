#pragma once

namespace cli {
struct Request;
}

// --watch: without a window until it is ended (Ctrl+C, SIGTERM, the end of
// the session), saves every new picture that appears on the clipboard as
// --save would, under the stored numbered Filename, each told as --save
// tells it; the same pixels offered again (a clipboard manager taking over
// from the screenshot tool) are not saved twice. Meanwhile it answers the
// keyboard shortcut's --save. A save is always finished before the watch
// ends. The exit code: 0 when ended, 1 when it cannot watch or the options
// cannot serve.
int watchClipboard(const cli::Request& request);
