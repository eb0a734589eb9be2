// Owners of what cJSON hands out: a tree, and a printed text.
#ifndef TAVIX_CTL_CJSONPTR_H
#define TAVIX_CTL_CJSONPTR_H

#include <cjson/cJSON.h>

#include <memory>

namespace ctl {

struct JsonDeleter {
    void operator()(cJSON *item) const { cJSON_Delete(item); }
};
struct JsonTextDeleter {
    void operator()(char *text) const { cJSON_free(text); }
};

using Json = std::unique_ptr<cJSON, JsonDeleter>;
using JsonText = std::unique_ptr<char, JsonTextDeleter>;

} // namespace ctl

#endif
