#pragma once

#include <curl/curl.h>

namespace mail {

// The libcurl functions that sending uses, looked up when the first message
// is sent: libcurl and what it pulls in (TLS, Kerberos, LDAP, SSH, ...) are
// then loaded only by a run that sends mail, not by every start of the
// program.
struct Curl {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_perform) easy_perform;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
    decltype(&::curl_mime_init) mime_init;
    decltype(&::curl_mime_free) mime_free;
    decltype(&::curl_mime_addpart) mime_addpart;
    decltype(&::curl_mime_data) mime_data;
    decltype(&::curl_mime_filedata) mime_filedata;
    decltype(&::curl_mime_filename) mime_filename;
    decltype(&::curl_mime_type) mime_type;
    decltype(&::curl_mime_encoder) mime_encoder;
    decltype(&::curl_mime_headers) mime_headers;
};

// libcurl, loaded on the first call; a Messaging error that names what is
// missing when it cannot be.
const Curl& libcurl();

} // namespace mail
