// The engine of the browser page: fdkeep's own reading, test and writing,
// offered to JavaScript as a small C interface. Bytes cross it as a pointer
// and a size, never as text, so that names that are not UTF-8 and the bytes
// of the output file survive unchanged.
//
// A call returns a reply that JavaScript reads and then releases:
//
//   fdkeep_reply* r = fdkeep_check(bytes, size, name, name_size);
//   fdkeep_outcome(r), fdkeep_reply_bytes(r), fdkeep_reply_size(r) ...
//   fdkeep_release(r);
//
// A null reply means that memory ran out before a reply could be made;
// fdkeep_outcome() reports it as kOutOfMemory.
#ifndef FDKEEP_WEB_ENGINE_H_
#define FDKEEP_WEB_ENGINE_H_

#include <cstddef>

struct fdkeep_reply;

// Outcomes of a call.
enum : int {
  kDone = 0,         // the reply's bytes are what was asked for
  kRejected = 1,     // they are fdkeep's message for a bad input line,
                     // "NAME:LINE: dependency has no \"->\""
  kOutOfMemory = 2,  // the call ran out of memory; there are no bytes
};

extern "C" {

// What fdkeep writes to its output file for the input held in the size
// bytes at bytes, called name (name_size bytes) in messages: the echo, the
// empty line and the ISO-8859-2 verdict line.
fdkeep_reply* fdkeep_check(const char* bytes, size_t size, const char* name,
                           size_t name_size);

// What fdkeep-explain writes for the same input, as text (json 0) or as
// JSON (json 1), in UTF-8; with hungarian 1, as it writes under a Hungarian
// locale (the JSON is the same in both languages).
fdkeep_reply* fdkeep_explain(const char* bytes, size_t size, const char* name,
                             size_t name_size, int json, int hungarian);

// The Hungarian catalogue that the texts come from (po/hu.po), for the
// page's own texts.
fdkeep_reply* fdkeep_catalogue();

// The outcome of reply; kOutOfMemory for a null reply.
int fdkeep_outcome(const fdkeep_reply* reply);

// The bytes of reply, and their count (none when memory ran out). They
// stay valid until the reply is released.
const char* fdkeep_reply_bytes(const fdkeep_reply* reply);
size_t fdkeep_reply_size(const fdkeep_reply* reply);

// Frees reply; a null reply is ignored.
void fdkeep_release(fdkeep_reply* reply);

}  // extern "C"

#endif  // FDKEEP_WEB_ENGINE_H_
