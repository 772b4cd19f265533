#include "mail/Curl.h"

#include "host/HostError.h"

#include <QCoreApplication>
#include <dlfcn.h>

namespace mail {
namespace {

// The library of the interface the program is built against.
constexpr char kLibrary[] = "libcurl.so.4";

[[noreturn]] void missing(const char* why)
{
    host::raiseError(host::ErrorKind::Messaging,
                     QCoreApplication::translate("mail", "E-mail cannot be sent: libcurl (Debian package libcurl4) "
                                                         "cannot be loaded: %1")
                         .arg(QString::fromLocal8Bit(why)));
}

template <typename Function>
void find(void* library, Function& function, const char* name)
{
    void* found = dlsym(library, name);
    if (!found)
        missing(dlerror());
    function = reinterpret_cast<Function>(found);
}

Curl load()
{
    void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        missing(dlerror());
    Curl c{};
    find(library, c.global_init, "curl_global_init");
    find(library, c.easy_init, "curl_easy_init");
    find(library, c.easy_setopt, "curl_easy_setopt");
    find(library, c.easy_perform, "curl_easy_perform");
    find(library, c.easy_cleanup, "curl_easy_cleanup");
    find(library, c.easy_strerror, "curl_easy_strerror");
    find(library, c.slist_append, "curl_slist_append");
    find(library, c.slist_free_all, "curl_slist_free_all");
    find(library, c.mime_init, "curl_mime_init");
    find(library, c.mime_free, "curl_mime_free");
    find(library, c.mime_addpart, "curl_mime_addpart");
    find(library, c.mime_data, "curl_mime_data");
    find(library, c.mime_filedata, "curl_mime_filedata");
    find(library, c.mime_filename, "curl_mime_filename");
    find(library, c.mime_type, "curl_mime_type");
    find(library, c.mime_encoder, "curl_mime_encoder");
    find(library, c.mime_headers, "curl_mime_headers");
    return c;
}

} // namespace

const Curl& libcurl()
{
    // A failed load raises, and the next send tries again.
    static const Curl loaded = load();
    return loaded;
}

} // namespace mail
