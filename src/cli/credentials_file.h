// A credentials file: the login settings that many switches' parameter
// files share (params/shared_login.h), one parameter string on one line.
//
// Read only, without a lock, so any number of checks may read it at once;
// `configure` replaces it by renaming, so a reader sees one whole version.
// Opened as files in a folder another user may own are (files/safe_open.h):
// a symbolic link is followed only when root or the running user owns it,
// only a regular file is read, a FIFO never stalls the open, and at most
// 64 KiB are read.
//
// Errors throw std::runtime_error with a text that names the file as
// given: "credentials file PATH does not exist (write it with comvorlix
// configure --credentials PATH)", "credentials file PATH is not a regular
// file (a FIFO)", "credentials file PATH: cannot open PATH: Permission
// denied", "credentials file PATH is larger than 65536 bytes", "credentials file
// PATH is not valid UTF-8 (...)", "credentials file PATH holds more than one
// line", "credentials file PATH holds no user name" and "credentials file
// PATH holds a password that does not decode". No secret is ever part of a
// text.
#pragma once

#include <string>

namespace comvorlix::cli {

// The parameter string of the credentials file at `path`.
std::string ReadCredentialsFile(const std::string& path);

}  // namespace comvorlix::cli
