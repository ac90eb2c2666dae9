#include "engine.h"

#include <emscripten/emscripten.h>

#include <new>
#include <string>
#include <string_view>

#include "explain.h"
#include "files.h"
#include "main.h"
#include "messages.h"

struct fdkeep_reply {
  int outcome = kDone;
  std::string bytes;
};

namespace {

// Runs work, which fills the bytes of a fresh reply, and turns fdkeep's
// failures into outcomes: a rejected line leaves its message as the bytes,
// in the language of say (English without one).
template <typename Work>
fdkeep_reply* answer(Work work, const messages* say = nullptr) {
  fdkeep_reply* reply = new (std::nothrow) fdkeep_reply;
  if (reply == nullptr) return nullptr;
  try {
    work(reply->bytes);
  } catch (const failure& error) {
    reply->outcome = kRejected;
    try {
      reply->bytes = say == nullptr
                         ? std::string(error.what())
                         : fill((*say)(error.form()), error.values());
    } catch (const std::bad_alloc&) {
      reply->outcome = kOutOfMemory;
    }
  } catch (const std::bad_alloc&) {
    reply->outcome = kOutOfMemory;
  }
  if (reply->outcome == kOutOfMemory) std::string().swap(reply->bytes);
  return reply;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE fdkeep_reply* fdkeep_check(const char* bytes, size_t size,
                                                const char* name,
                                                size_t name_size) {
  return answer([&](std::string& output) {
    output =
        output_for(std::string_view(bytes, size), std::string(name, name_size));
  });
}

EMSCRIPTEN_KEEPALIVE fdkeep_reply* fdkeep_explain(const char* bytes,
                                                  size_t size, const char* name,
                                                  size_t name_size, int json,
                                                  int hungarian) {
  try {
    const messages say(hungarian ? language::hungarian : language::english);
    return answer(
        [&](std::string& explanation) {
          const std::string called(name, name_size);
          const input in =
              read_input_text(std::string_view(bytes, size), called);
          write_explanation(
              in, called,
              json ? explanation_format::json : explanation_format::text,
              [&](std::string_view text) { explanation += text; }, say);
        },
        &say);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

EMSCRIPTEN_KEEPALIVE fdkeep_reply* fdkeep_catalogue() {
  return answer([](std::string& catalogue) {
    catalogue = hungarian_catalogue();
  });
}

EMSCRIPTEN_KEEPALIVE int fdkeep_outcome(const fdkeep_reply* reply) {
  return reply == nullptr ? kOutOfMemory : reply->outcome;
}

EMSCRIPTEN_KEEPALIVE const char* fdkeep_reply_bytes(const fdkeep_reply* reply) {
  return reply == nullptr ? "" : reply->bytes.data();
}

EMSCRIPTEN_KEEPALIVE size_t fdkeep_reply_size(const fdkeep_reply* reply) {
  return reply == nullptr ? 0 : reply->bytes.size();
}

EMSCRIPTEN_KEEPALIVE void fdkeep_release(fdkeep_reply* reply) { delete reply; }

}  // extern "C"
